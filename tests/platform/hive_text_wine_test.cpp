// What Wine's regedit /e and reg export write for names and strings holding
// line breaks and other control characters reads as the registry held it, and
// survives the rewrite of the hive in the program's own format.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "registry/text/reg_decoding.h"
#include "registry/text/reg_parser.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/tree_text.h"

namespace dsnconf::posix {
namespace {

struct Value {
  std::string name;
  DWORD type;
  std::string data;
  bool operator==(const Value& other) const {
    return name == other.name && type == other.type && data == other.data;
  }
};

struct Capture : RegTextSink {
  bool openKey(const std::vector<std::string>&, std::string&) override { return true; }
  bool deleteKey(const std::vector<std::string>&, std::string&) override { return true; }
  void setValue(const std::string& name, DWORD type, std::string data) override {
    values.push_back({name, type, std::move(data)});
  }
  void deleteValue(const std::string& name) override { deleted.push_back(name); }
  std::vector<Value> values;
  std::vector<std::string> deleted;
};

// A file as Wine writes it: UTF-16LE with a byte-order mark and CRLF line
// ends (every character here is ASCII: one code unit per byte).
std::string wineFile(const std::string& lines) {
  std::string text = "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\K]\n";
  text += lines;
  std::string out = "\xFF\xFE";
  for (char c : text) {
    if (c == '\n') out += std::string("\r\0", 2);
    out += c;
    out += '\0';
  }
  return out;
}

std::vector<Value> valuesOf(const std::string& file) {
  DecodedRegText decoded;
  std::string error;
  EXPECT_TRUE(decodeRegFile(file, decoded, error)) << error;
  Capture capture;
  RegParseResult parsed = parseRegText(decoded.text, wholeFileOptions(decoded), capture);
  EXPECT_TRUE(parsed.ok) << parsed.error;
  return capture.values;
}

std::string sz(const std::string& text) {
  return text + '\0';
}

// Lines that Wine 8's regedit /e and reg export wrote for these values (a
// string ends at its first zero there; control characters other than line
// breaks go out as they are).
const std::pair<std::string, Value> kWineLines[] = {
    {R"("CRLF"="a\r\nb")", {"CRLF", REG_SZ, sz("a\r\nb")}},
    {R"("LF"="a\nb")", {"LF", REG_SZ, sz("a\nb")}},
    {R"("Trail"="end\n")", {"Trail", REG_SZ, sz("end\n")}},
    {"\"Ctl\"=\"a\x01\x1f\x7f\tb\"", {"Ctl", REG_SZ, sz("a\x01\x1f\x7f\tb")}},
    {R"("Mixed"="x\\ny \"q\" \\r")", {"Mixed", REG_SZ, sz(R"(x\ny "q" \r)")}},
    {R"("N\r\nL"="v")", {"N\r\nL", REG_SZ, sz("v")}},
    {"\"T\tab\"=\"v\"", {"T\tab", REG_SZ, sz("v")}},
    {R"("Expand"=hex(2):61,00,0d,00,0a,00,62,00,00,00)", {"Expand", REG_EXPAND_SZ, sz("a\r\nb")}},
};

TEST(HiveTextWine, WineExportReadsAsTheRegistryHeldIt) {
  for (const auto& [line, value] : kWineLines) {
    const std::vector<Value> read = valuesOf(wineFile(line + "\n"));
    ASSERT_EQ(read.size(), 1u) << line;
    EXPECT_TRUE(read[0] == value) << line << " read as name '" << read[0].name << "' data '"
                                  << read[0].data << "'";
  }
}

TEST(HiveTextWine, RewriteKeepsEveryValueOnItsLine) {
  std::string lines;
  std::vector<Value> expected;
  for (const auto& [line, value] : kWineLines) {
    lines += line + "\n";
    expected.push_back(value);
  }
  std::string canonical;
  std::string error;
  ASSERT_TRUE(canonicalRegText(wineFile(lines), canonical, error)) << error;
  // Data with line breaks goes out as hex; a name keeps Wine's escapes.
  EXPECT_NE(canonical.find("\"CRLF\"=hex(1):61,0d,0a,62,00\n"), std::string::npos) << canonical;
  EXPECT_NE(canonical.find("\"N\\r\\nL\"=\"v\"\n"), std::string::npos) << canonical;
  EXPECT_EQ(valuesOf(canonical), expected) << canonical;
}

TEST(HiveTextWine, NamesWithLineBreaksAndZerosWriteOneLineThatReadsBack) {
  const std::string names[] = {"a\r\nb", "\n", std::string("a\0b", 3), "\\r\\n\\0",
                               "\"\r\"", "x\\"};
  for (const std::string& name : names) {
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    appendValueLine(text, name, REG_SZ, sz("v"));
    appendValueDeletionLine(text, name);
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 4) << text;
    Capture capture;
    ASSERT_TRUE(parseRegText(text, {}, capture).ok) << text;
    ASSERT_EQ(capture.values.size(), 1u) << text;
    EXPECT_EQ(capture.values[0].name, name) << text;
    EXPECT_EQ(capture.deleted, std::vector<std::string>{name}) << text;
  }
}

}  // namespace
}  // namespace dsnconf::posix
