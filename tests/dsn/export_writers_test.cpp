// The two writers of export, on inventories built here: the registry file's
// value lines, keys and bytes, and the JSON document's fields. Names are
// WTF-8 and string data UTF-16LE, as the wide registry calls hold them.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/unicode.h"
#include "dsn/inventory_json.h"
#include "dsn/reg_file_writer.h"
#include "dsn/value_text.h"
#include "wide_data.h"

namespace dsnconf::test {
namespace {

using std::string_literals::operator""s;
using Json = nlohmann::ordered_json;

std::string utf8(const std::u16string& text) {
  return utf16ToUtf8(text);
}

struct ValueLineCase {
  const char* what;
  RegistryValue value;
  const char* line;  // without its CRLF
};

TEST(RegFileWriter, EachTypeInTheFormThatRestoresItsBytes) {
  const ValueLineCase cases[] = {
      {"plain string", {"Server", REG_SZ, u"db\0"_w}, R"("Server"="db")"},
      {"escapes", {"Pa\"th", REG_SZ, u"C:\\x \"y\"\0"_w}, R"("Pa\"th"="C:\\x \"y\"")"},
      {"default value", {"", REG_SZ, u"v\0"_w}, R"(@="v")"},
      {"empty string", {"E", REG_SZ, u"\0"_w}, R"("E"="")"},
      {"no data at all", {"E", REG_SZ, ""}, R"("E"=hex(1):)"},
      {"no terminator", {"U", REG_SZ, u"ab"_w}, R"("U"=hex(1):61,00,62,00)"},
      {"embedded zero", {"Z", REG_SZ, u"a\0b\0"_w}, R"("Z"=hex(1):61,00,00,00,62,00,00,00)"},
      {"a line break in a name", {"L\r\nM", REG_SZ, u"v\0"_w}, R"("L\r\nM"="v")"},
      {"line break", {"N", REG_SZ, u"a\nb\0"_w}, R"("N"=hex(1):61,00,0a,00,62,00,00,00)"},
      {"expandable", {"P", REG_EXPAND_SZ, u"%A%\0"_w}, R"("P"=hex(2):25,00,41,00,25,00,00,00)"},
      {"multi", {"M", REG_MULTI_SZ, u"a\0b\0\0"_w}, R"("M"=hex(7):61,00,00,00,62,00,00,00,00,00)"},
      {"non-ASCII text", {"\xc3\xa9", REG_SZ, u"\u00e9\0"_w}, "\"\xc3\xa9\"=\"\xc3\xa9\""},
      {"non-ASCII in hex", {"X", REG_EXPAND_SZ, u"\u00e9\0"_w}, R"("X"=hex(2):e9,00,00,00)"},
      {"surrogate pair",
       {"S", REG_MULTI_SZ, u"\U0001F600\0\0"_w},
       R"("S"=hex(7):3d,d8,00,de,00,00,00,00)"},
      {"dword", {"Port", REG_DWORD, "\x38\x15\0\0"s}, R"("Port"=dword:00001538)"},
      {"short dword", {"D", REG_DWORD, "\x38\x15"}, R"("D"=hex(4):38,15)"},
      {"binary", {"B", REG_BINARY, "\x01\xff"}, R"("B"=hex:01,ff)"},
      {"qword", {"Q", REG_QWORD, "\x01\0\0\0\0\0\0\x80"s}, R"("Q"=hex(b):01,00,00,00,00,00,00,80)"},
      {"none", {"0", REG_NONE, ""}, R"("0"=hex(0):)"},
      {"big-endian dword", {"E", REG_DWORD_BIG_ENDIAN, "\0\0\0\x05"s}, R"("E"=hex(5):00,00,00,05)"},
  };
  for (const ValueLineCase& c : cases) {
    EXPECT_EQ(utf8(regValueLines(c.value)), std::string(c.line) + "\r\n") << c.what;
  }
}

TEST(RegFileWriter, LongHexDataWrapsAsRegeditWrapsIt) {
  const std::string lines = utf8(regValueLines({"Data", REG_BINARY, std::string(100, '\x5a')}));
  std::vector<std::string> split;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t end = lines.find("\r\n", start);
    split.push_back(lines.substr(start, end - start));
    start = end + 2;
  }
  // "Data"=hex: and 22 bytes reach column 77; each later line holds 25.
  ASSERT_EQ(split.size(), 5u);
  EXPECT_EQ(
      split[0], "\"Data\"=hex:" + [] {
        std::string bytes;
        for (int i = 0; i < 22; ++i) bytes += "5a,";
        return bytes;
      }() + "\\");
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(split[i].size(), 2u + 25 * 3 + 1) << "line " << i;
    EXPECT_EQ(split[i].substr(0, 4), "  5a");
    EXPECT_EQ(split[i].back(), '\\');
  }
  EXPECT_EQ(split[4], "  5a,5a,5a") << "22 + 3 * 25 + 3 = 100 bytes, the last without a comma";
}

Inventory sampleInventory() {
  Inventory inventory;
  PlaceInventory user;
  user.place = &kUserPlace;
  FamilyDataSource payroll;
  payroll.name = "Payroll";
  payroll.driver = "Ivorel ODBC Driver";
  payroll.entryData = u"Ivorel ODBC Driver\0"_w;
  payroll.hasKey = true;
  payroll.properties = {{"Server", REG_SZ, u"db\0"_w}, {"Port", REG_DWORD, "\x38\x15\0\0"s}};
  payroll.subkeys = {{"Engines", {}}, {"Engines\\Jet", {{"Threads", REG_DWORD, "\3\0\0\0"s}}}};
  user.dataSources.push_back(payroll);
  user.unreadableEntries.push_back({"Numbered", REG_DWORD, "\1\0\0\0"s, EntryProblem::NotAString});
  user.tracing.trace = RegistryValue{"Trace", REG_SZ, u"1\0"_w};
  inventory.places.push_back(user);

  PlaceInventory view64;
  view64.place = &kSystem64Place;
  DriverRegistration driver;
  driver.driver = "Ivorel ODBC Driver";
  driver.hasKey = true;
  driver.listed = true;
  driver.values = {{"Driver", REG_SZ, u"C:\\ivorel.dll\0"_w}};
  view64.registrations.push_back(driver);
  inventory.places.push_back(view64);

  PlaceInventory view32;
  view32.place = &kSystem32Place;
  FamilyDataSource gone;
  gone.name = "Gone";
  gone.driver = "Sarvonet ODBC Driver";
  gone.entryData = u"Sarvonet ODBC Driver\0"_w;
  view32.dataSources.push_back(gone);
  inventory.places.push_back(view32);
  return inventory;
}

TEST(RegFileWriter, KeysOfThePlacesWithDataSourcesOnly) {
  const std::string comments =
      "\r\n; Ivorel ODBC data sources as dsnconf read them (export /reg, or apply's backup):"
      "\r\n; each one's entry in ODBC Data Sources, and its key with every value and subkey."
      "\r\n; Restore them with: reg import <this file> /reg:64"
      "\r\n; It adds and overwrites; it removes nothing. Passwords stored in the data"
      "\r\n; sources are in it: keep it as you keep passwords.\r\n";
  const std::string twoViews = utf8(regFileText(sampleInventory(), true));
  EXPECT_EQ(
      twoViews,
      "Windows Registry Editor Version 5.00\r\n" + comments +
          "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
          "\"Payroll\"=\"Ivorel ODBC Driver\"\r\n"
          "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\r\n"
          "\"Server\"=\"db\"\r\n\"Port\"=dword:00001538\r\n"
          "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll\\Engines]\r\n"
          "\r\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll\\Engines\\Jet]\r\n"
          "\"Threads\"=dword:00000003\r\n"
          "\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
          "\"Gone\"=\"Sarvonet ODBC Driver\"\r\n"
          "\r\n");
  // One machine view: the 32-bit view is the machine tree itself.
  const std::string oneView = utf8(regFileText(sampleInventory(), false));
  EXPECT_NE(oneView.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]"),
            std::string::npos);
  EXPECT_EQ(oneView.find("WOW6432Node"), std::string::npos);

  EXPECT_EQ(utf8(regFileText(Inventory{}, true)),
            "Windows Registry Editor Version 5.00\r\n" + comments + "\r\n");
}

TEST(RegFileWriter, FileBytesAreUtf16LittleEndianAfterAByteOrderMark) {
  EXPECT_EQ(utf16LeFileBytes(u"A\u00e9\r\n"),
            "\xff\xfe"
            "A\0\xe9\0\r\0\n\0"s);
}

struct JsonValueCase {
  const char* what;
  RegistryValue value;
  const char* json;
};

TEST(InventoryJson, EachValueWithItsTypeAndDataAndTheBytesWhereDataFallsShort) {
  const JsonValueCase cases[] = {
      {"string", {"S", REG_SZ, u"db\0"_w}, R"({"name":"S","type":"REG_SZ","data":"db"})"},
      {"expandable",
       {"P", REG_EXPAND_SZ, u"%A%\0"_w},
       R"({"name":"P","type":"REG_EXPAND_SZ","data":"%A%"})"},
      {"unterminated",
       {"U", REG_SZ, u"ab"_w},
       R"({"name":"U","type":"REG_SZ","data":"ab","bytes":"61006200"})"},
      {"odd length",
       {"O", REG_SZ, u"ab\0"_w + "x"},
       R"({"name":"O","type":"REG_SZ","data":"ab","bytes":"61006200000078"})"},
      {"embedded zero",
       {"Z", REG_SZ, u"a\0b\0"_w},
       R"({"name":"Z","type":"REG_SZ","data":"a","bytes":"6100000062000000"})"},
      {"non-ASCII",
       {"\xc3\xa9", REG_SZ, u"\u00e9\0"_w},
       "{\"name\":\"\xc3\xa9\",\"type\":\"REG_SZ\",\"data\":\"\xc3\xa9\"}"},
      {"a surrogate without its pair, in the name and the data",
       {"\xed\xa0\x80", REG_SZ, "\x00\xd8\0\0"s},
       "{\"name\":\"\xef\xbf\xbd\",\"nameBytes\":\"00d8\",\"type\":\"REG_SZ\","
       "\"data\":\"\xef\xbf\xbd\",\"bytes\":\"00d80000\"}"},
      {"multi",
       {"M", REG_MULTI_SZ, u"a\0b\0\0"_w},
       R"({"name":"M","type":"REG_MULTI_SZ","data":["a","b"]})"},
      {"empty multi",
       {"M", REG_MULTI_SZ, u"\0"_w},
       R"({"name":"M","type":"REG_MULTI_SZ","data":[]})"},
      {"multi without its last terminator",
       {"M", REG_MULTI_SZ, u"a\0"_w},
       R"({"name":"M","type":"REG_MULTI_SZ","data":["a"],"bytes":"61000000"})"},
      {"dword",
       {"D", REG_DWORD, "\x38\x15\0\0"s},
       R"({"name":"D","type":"REG_DWORD","data":5432})"},
      {"big-endian",
       {"E", REG_DWORD_BIG_ENDIAN, "\0\0\x15\x38"s},
       R"({"name":"E","type":"REG_DWORD_BIG_ENDIAN","data":5432})"},
      {"short dword",
       {"D", REG_DWORD, "\x38"},
       R"({"name":"D","type":"REG_DWORD","data":null,"bytes":"38"})"},
      {"qword",
       {"Q", REG_QWORD, "\0\0\0\0\1\0\0\0"s},
       R"({"name":"Q","type":"REG_QWORD","data":4294967296})"},
      {"qword beyond what a double holds exactly",
       {"Q", REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\xff"s},
       R"({"name":"Q","type":"REG_QWORD","data":"18446744073709551615"})"},
      {"the largest qword a double holds exactly",
       {"Q", REG_QWORD, "\xff\xff\xff\xff\xff\xff\x1f\0"s},
       R"({"name":"Q","type":"REG_QWORD","data":9007199254740991})"},
      {"binary",
       {"B", REG_BINARY, "\x01\xff"},
       R"({"name":"B","type":"REG_BINARY","data":"01ff"})"},
      {"unknown type", {"X", 42, "\x07"}, R"({"name":"X","type":"REG_0x0000002a","data":"07"})"},
  };
  for (const JsonValueCase& c : cases) {
    EXPECT_EQ(valueToJson(c.value).dump(), c.json) << c.what;
  }
}

TEST(InventoryJson, PlacesEntriesTracingAndDrivers) {
  const Json document = inventoryToJson(sampleInventory());
  ASSERT_EQ(document["dataSources"].size(), 2u);
  const Json& payroll = document["dataSources"][0];
  EXPECT_EQ(payroll["name"], "Payroll");
  EXPECT_EQ(payroll["scope"], "user");
  EXPECT_TRUE(payroll["view"].is_null());
  EXPECT_EQ(payroll["driver"], "Ivorel ODBC Driver");
  EXPECT_EQ(payroll["hasKey"], true);
  EXPECT_EQ(payroll["properties"][1]["data"], 5432);
  ASSERT_EQ(payroll["subkeys"].size(), 2u);
  EXPECT_EQ(payroll["subkeys"][1]["path"], "Engines\\Jet");
  EXPECT_EQ(payroll["subkeys"][1]["values"][0]["data"], 3);
  const Json& gone = document["dataSources"][1];
  EXPECT_EQ(gone["scope"], "system");
  EXPECT_EQ(gone["view"], 32);
  EXPECT_EQ(gone["hasKey"], false);
  EXPECT_TRUE(gone["properties"].is_array() && gone["properties"].empty());

  ASSERT_EQ(document["unreadableEntries"].size(), 1u);
  EXPECT_EQ(document["unreadableEntries"][0]["problem"], "notAString");
  EXPECT_EQ(document["unreadableEntries"][0]["data"], 1);

  ASSERT_EQ(document["tracing"].size(), 3u) << "one per place, set or not";
  EXPECT_EQ(document["tracing"][0]["trace"]["data"], "1");
  EXPECT_TRUE(document["tracing"][0]["traceFile"].is_null());
  EXPECT_EQ(document["tracing"][1]["view"], 64);

  ASSERT_EQ(document["drivers"].size(), 1u);
  EXPECT_EQ(document["drivers"][0]["name"], "Ivorel ODBC Driver");
  EXPECT_EQ(document["drivers"][0]["view"], 64);
  EXPECT_EQ(document["drivers"][0]["listed"], true);
  EXPECT_EQ(document["drivers"][0]["values"][0]["data"], "C:\\ivorel.dll");

  const Json empty = inventoryToJson(Inventory{});
  EXPECT_EQ(empty.dump(), R"({"dataSources":[],"unreadableEntries":[],"tracing":[],"drivers":[]})");
}

// The text export writes is made entry by entry; it must be the very text
// the library writes for the whole document.
TEST(InventoryJson, TheTextIsTheWholeDocumentsDump) {
  Inventory withEmptyLists = sampleInventory();
  for (PlaceInventory& place : withEmptyLists.places) place.unreadableEntries.clear();
  const Inventory inventories[] = {sampleInventory(), Inventory{}, withEmptyLists};
  for (const Inventory& inventory : inventories) {
    const std::string text = inventoryJsonText(inventory);
    EXPECT_EQ(text, inventoryToJson(inventory).dump(2)) << text;
  }
}

}  // namespace
}  // namespace dsnconf::test
