// The JSON text export writes as it walks, against the library's dump of the
// whole document: odd text of every kind, every value type, and password data
// left out or kept.
#include <gtest/gtest.h>

#include <string>

#include "dsn/inventory_json.h"
#include "dsn/json_writer.h"
#include "wide_data.h"

namespace dsnconf::test {
namespace {

using std::string_literals::operator""s;
using Json = nlohmann::ordered_json;

RegistryValue text(const std::string& name, const std::u16string& data) {
  return {name, REG_SZ, utf16LeBytes(data)};
}

// Names and data the serialiser escapes, or carries as they are.
Inventory oddInventory() {
  Inventory inventory;
  PlaceInventory user;
  user.place = &kUserPlace;
  FamilyDataSource odd;
  odd.name = "Quote \" back\\slash \x7f \xd0\x98\xe6\x95\xb0\xf0\x9f\x98\x80";
  odd.driver = "Ivorel ODBC Driver";
  odd.hasKey = true;
  odd.properties = {
      text("Controls", u"\b\t\n\f\r\x01\x1f end"s + u'\0'),
      {"\xed\xa0\x80 lone name", REG_SZ, u"x\0"_w},
      {"Lone data", REG_SZ, "\x00\xd8\0\0"s},
      {"Multi", REG_MULTI_SZ, u"a\"\0\u00e9\0\0"_w},
      {"No strings", REG_MULTI_SZ, u"\0"_w},
      {"Big", REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\xff"s},
      {"Small", REG_QWORD, "\x01\0\0\0\0\0\0\0"s},
      {"Short", REG_DWORD, "\x01"},
      {"Blob", REG_BINARY, "\x00\xff"s},
      {"PWD", REG_SZ, u"s3cret\0"_w},
      {"password", REG_BINARY, "\x73\x33"},
  };
  odd.subkeys = {{"Engines\\\xed\xb0\x80", {{"Pwd", REG_SZ, u"inner\0"_w}}}, {"Empty", {}}};
  user.dataSources.push_back(odd);
  FamilyDataSource gone;
  gone.name = "Gone";
  gone.driver = "Sarvonet ODBC Driver";
  user.dataSources.push_back(gone);
  user.unreadableEntries.push_back({"Tab\tname", REG_SZ, u"x"_w, EntryProblem::TooLong});
  user.tracing.traceFile = text("TraceFile", u"C:\\\u00e9.log\0"s);
  inventory.places.push_back(user);
  PlaceInventory view32;
  view32.place = &kSystem32Place;
  view32.registrations.push_back({"Ivorel ODBC Driver", true, false, {text("PWD", u"kept\0"s)}});
  inventory.places.push_back(view32);
  return inventory;
}

TEST(InventoryJsonText, TheWriterGivesTheLibrarysDumpForEveryKindOfEntry) {
  for (const PasswordData passwords : {PasswordData::LeftOut, PasswordData::Kept}) {
    const Inventory inventory = oddInventory();
    const std::string written = inventoryJsonText(inventory, passwords);
    EXPECT_EQ(written, inventoryToJson(inventory, passwords).dump(2)) << written;
    EXPECT_TRUE(Json::accept(written));
  }
}

TEST(InventoryJsonText, PasswordDataIsLeftOutWithItsNameAndTypeKept) {
  const Inventory inventory = oddInventory();
  InventoryJsonWriter writer(PasswordData::LeftOut);
  for (const FamilyDataSource& dataSource : inventory.places[0].dataSources) {
    writer.addDataSource(kUserPlace, dataSource);
  }
  writer.finish();
  // The data source's PWD and password, and its subkey's Pwd.
  EXPECT_EQ(writer.redactedValues(), 3u);
  const Json document = Json::parse(writer.text());
  const Json& properties = document["dataSources"][0]["properties"];
  EXPECT_EQ(properties[9].dump(), R"({"name":"PWD","type":"REG_SZ","data":null,"redacted":true})");
  EXPECT_EQ(properties[10].dump(),
            R"({"name":"password","type":"REG_BINARY","data":null,"redacted":true})");
  EXPECT_EQ(document["dataSources"][0]["subkeys"][0]["values"][0]["redacted"], true);
  for (const char* secret : {"s3cret", "7333", "inner"}) {
    EXPECT_EQ(writer.text().find(secret), std::string::npos) << secret;
  }

  InventoryJsonWriter kept(PasswordData::Kept);
  kept.addDataSource(kUserPlace, inventory.places[0].dataSources[0]);
  EXPECT_EQ(kept.redactedValues(), 0u);
  EXPECT_NE(kept.text().find("s3cret"), std::string::npos);
  EXPECT_EQ(kept.text().find("redacted"), std::string::npos);
}

TEST(JsonWriter, EscapesAsTheLibraryDoes) {
  std::string every;
  for (int c = 1; c < 0x80; ++c) every += static_cast<char>(c);
  every += "\xc3\xa9\xf0\x9f\x98\x80";
  every += std::string(1, '\0') + "after";
  std::string out;
  appendJsonString(out, every);
  EXPECT_EQ(out, Json(every).dump());
}

}  // namespace
}  // namespace dsnconf::test
