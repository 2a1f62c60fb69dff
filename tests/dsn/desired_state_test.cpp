// The file apply reads: every value type export writes comes back as the
// same bytes, the hand-written forms are taken, and a wrong document is
// refused with where it is wrong.
#include "dsn/desired_state.h"

#include <gtest/gtest.h>

#include <string>

#include "wide_data.h"

namespace dsnconf::test {
namespace {

using std::string_literals::operator""s;

TEST(DesiredState, ExportFormsComeBackAsTheirBytes) {
  const std::string document = R"({"dataSources": [{
    "name": "Payroll", "scope": "system", "view": 32, "driver": "Sarvonet ODBC Driver",
    "properties": [
      {"name": "S", "type": "REG_SZ", "data": "db"},
      {"name": "E", "type": "REG_EXPAND_SZ", "data": "%A%"},
      {"name": "M", "type": "REG_MULTI_SZ", "data": ["a", "b"]},
      {"name": "D", "type": "REG_DWORD", "data": 5432},
      {"name": "B", "type": "REG_DWORD_BIG_ENDIAN", "data": 5432},
      {"name": "Q", "type": "REG_QWORD", "data": "18446744073709551615"},
      {"name": "H", "type": "REG_BINARY", "data": "01ff"},
      {"name": "U", "type": "REG_SZ", "data": "a", "bytes": "6100000062000000"},
      {"name": "X", "type": "REG_0x0000002a", "data": "07"},
      {"name": "?", "nameBytes": "00d8", "type": "REG_SZ", "data": null},
      {"name": "PWD", "type": "REG_SZ", "data": null, "redacted": true}],
    "subkeys": [{"path": "Engines\\Jet", "values": {"Threads": "4"}}]}]})";
  DesiredState state;
  std::string error;
  ASSERT_TRUE(parseDesiredState(document, state, error)) << error;
  ASSERT_EQ(state.dataSources.size(), 1u);
  const DesiredDataSource& source = state.dataSources[0];
  EXPECT_EQ(source.driver, GEN2);
  EXPECT_EQ(source.places, std::vector<const Place*>{&machineViewPlace(MachineView::Bit32)});
  const std::string expected[] = {u"db\0"_w,       u"%A%\0"_w,      u"a\0b\0\0"_w,
                                  "\x38\x15\0\0"s, "\0\0\x15\x38"s, std::string(8, '\xff'),
                                  "\x01\xff"s,     u"a\0b\0"_w,     "\x07"s};
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    EXPECT_EQ(source.properties[i].kind, DesiredValue::Kind::Set) << i;
    EXPECT_EQ(source.properties[i].value.data, expected[i]) << source.properties[i].value.name;
  }
  EXPECT_EQ(source.properties[8].value.type, 42u);
  EXPECT_EQ(source.properties[9].value.name, "\xed\xa0\x80") << "a lone surrogate, as WTF-8";
  EXPECT_EQ(source.properties[9].kind, DesiredValue::Kind::Remove);
  EXPECT_EQ(source.properties[10].kind, DesiredValue::Kind::Keep);
  ASSERT_EQ(source.subkeys.size(), 1u);
  EXPECT_EQ(source.subkeys[0].path, "Engines\\Jet");
  EXPECT_EQ(source.subkeys[0].values[0].value.data, u"4\0"_w);
}

TEST(DesiredState, HandWrittenFormsAndEveryMachineView) {
  DesiredState state;
  std::string error;
  ASSERT_TRUE(parseDesiredState(
      R"({"dataSources": [{"name": "N", "scope": "system", "driver": "GEN1",
                           "properties": {"Z": "1", "A": null}}]})",
      state, error))
      << error;
  const DesiredDataSource& source = state.dataSources[0];
  EXPECT_EQ(source.places, machinePlaces());
  EXPECT_EQ(source.properties[0].value.name, "Z") << "in the file's order";
  EXPECT_EQ(source.properties[1].kind, DesiredValue::Kind::Remove);
}

TEST(DesiredState, AWrongDocumentSaysWhereItIsWrong) {
  const std::pair<const char*, const char*> cases[] = {
      {"[]", "not a JSON object"},
      {"{\"dataSources\": {}}", "dataSources: not an array"},
      {R"({"dataSources": [{"scope": "user", "driver": "GEN3"}]})", "no member \"name\""},
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "Acme"}]})",
       "dataSources[0].driver: 'Acme' is no Ivorel driver"},
      {R"({"dataSources": [{"name": "N", "scope": "system", "view": 16, "driver": "GEN3"}]})",
       "dataSources[0].view: neither 64, 32 nor null"},
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "GEN3",
          "properties": [{"name": "P", "type": "REG_FOO", "data": 1}]}]})",
       "dataSources[0].properties[0].type: no registry type REG_FOO"},
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "GEN3",
          "properties": [{"name": "P", "type": "REG_BINARY", "data": "0g"}]}]})",
       "dataSources[0].properties[0].data: not bytes in hex"},
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "GEN3",
          "properties": [{"name": "P", "type": "REG_MULTI_SZ", "data": ["a", ""]}]}]})",
       "an empty string, which REG_MULTI_SZ cannot hold"},
      // Entries are read as the text goes: a later one says where it is, and
      // a text that is no document says so before any entry's fault.
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "GEN3"},
          {"name": "M", "scope": "user", "driver": "Acme"}]})",
       "dataSources[1].driver: 'Acme' is no Ivorel driver"},
      {R"({"dataSources": [{"name": "N", "scope": "user", "driver": "Acme"}], "tracing": [})",
       "not a JSON document"},
      {R"({"dataSources": [], "dataSources": []})", "not a JSON document"},
  };
  for (const auto& [document, what] : cases) {
    DesiredState state;
    std::string error;
    EXPECT_FALSE(parseDesiredState(document, state, error)) << document;
    EXPECT_NE(error.find(what), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace dsnconf::test
