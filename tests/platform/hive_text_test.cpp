// .reg text reads in every form regedit writes, damaged text is refused with its line number,
// and texts that mean the same registry state give the same canonical text.
#include <gtest/gtest.h>

#include <string>

#include "registry/text/crc32.h"
#include "registry/text/journal.h"
#include "registry/text/reg_parser.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/tree_text.h"

namespace dsnconf::posix {
namespace {

std::string canonical(const std::string& text) {
  std::string result;
  std::string error;
  EXPECT_TRUE(canonicalRegText(text, result, error)) << error;
  return result;
}

std::string utf16le(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

std::string crlf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

const std::string kExport =
    "Windows Registry Editor Version 5.00\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\n"
    "\"Driver\"=\"C:\\\\drivers\\\\x.dll\"\n"
    "@=\"default\"\n"
    "\"Quote\"=\"say \\\"hi\\\"\"\n"
    "\"Count\"=dword:0000002a\n"
    "\"Blob\"=hex:01,02,ff\n"
    "\"Multi\"=hex(7):41,00,42,00,00,00,\\\n"
    "  00,00\n"
    "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
    "\"Raw\"=hex(1):61,62\n"
    "\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n";

// kExport as a UTF-16 file carries it: there the hex data of string values
// is UTF-16LE, each of kExport's bytes one code unit.
const std::string kWideExport = [] {
  std::string text = kExport;
  const std::pair<std::string, std::string> wide[] = {
      {"hex(7):41,00,42,00,00,00,\\\n  00,00",
       "hex(7):41,00,00,00,42,00,00,00,00,00,00,00,\\\n  00,00,00,00"},
      {"hex(1):61,62", "hex(1):61,00,62,00"}};
  for (const auto& [narrow, utf16] : wide) text.replace(text.find(narrow), narrow.size(), utf16);
  return text;
}();

TEST(HiveText, SameStateInEveryEncodingGivesOneCanonicalText) {
  const std::string expected = canonical(kExport);
  const std::string forms[] = {crlf(kExport), "\xEF\xBB\xBF" + kExport, utf16le(crlf(kWideExport)),
                               utf16le(kWideExport)};
  for (const std::string& form : forms) EXPECT_EQ(canonical(form), expected);
}

TEST(HiveText, CanonicalTextWritesEachValueInOneFixedForm) {
  const std::string expected =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Empty]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\n"
      "\"Driver\"=\"C:\\\\drivers\\\\x.dll\"\n"
      "@=\"default\"\n"
      "\"Quote\"=\"say \\\"hi\\\"\"\n"
      "\"Count\"=dword:0000002a\n"
      "\"Blob\"=hex:01,02,ff\n"
      "\"Multi\"=hex(7):41,00,42,00,00,00,00,00\n"
      "\"Q\"=hex(b):01,00,00,00,00,00,00,00\n"
      "\"Raw\"=hex(1):61,62\n";
  EXPECT_EQ(canonical(kExport), expected);
}

TEST(HiveText, JournalEntriesAndDeletionsApplyInOrder) {
  std::string body1 =
      "[HKEY_CURRENT_USER\\A]\n"
      "\"x\"=\"2\"\n"
      "\"gone\"=-\n";
  std::string body2 = "[-HKEY_CURRENT_USER\\A\\B]\n[HKEY_CURRENT_USER\\A]\n\"y\"=\"3\"\n";
  std::string journaled =
      "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n\"gone\"=\"1\"\n[HKEY_CURRENT_USER\\A\\B]\n"
      "\"z\"=\"1\"\n" +
      journalEntry(body1) + journalEntry(body2);
  std::string flat =
      "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"2\"\n\"y\"=\"3\"\n";
  EXPECT_EQ(canonical(journaled), canonical(flat));
}

TEST(HiveText, UnfinishedEntryAtTheEndIsIgnored) {
  std::string base = "Windows Registry Editor Version 5.00\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n";
  std::string entry = journalEntry("[HKEY_CURRENT_USER\\A]\n\"x\"=\"2\"\n");
  for (std::size_t cut = 1; cut < entry.size(); ++cut) {
    std::string torn = base + entry.substr(0, cut);
    EXPECT_EQ(canonical(torn), canonical(base)) << "cut at " << cut;
  }
  EXPECT_NE(canonical(base + entry), canonical(base));
  // Blocks of an append a power failure cut short read as zero bytes.
  EXPECT_EQ(canonical(base + std::string(4096, '\0')), canonical(base));
  EXPECT_EQ(canonical(base + entry.substr(0, 40) + std::string(100, '\0')), canonical(base));
}

TEST(HiveText, ParseReportsWhereTheTailBegins) {
  class NullSink : public RegTextSink {
    bool openKey(const std::vector<std::string>&, std::string&) override { return true; }
    bool deleteKey(const std::vector<std::string>&, std::string&) override { return true; }
    void setValue(const std::string&, DWORD, std::string) override {}
    void deleteValue(const std::string&) override {}
  } sink;
  std::string base = "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n";
  std::string entry = journalEntry("[HKEY_CURRENT_USER\\A]\n\"x\"=\"2\"\n");
  RegParseResult whole = parseRegText(base + entry + entry.substr(0, 30), {}, sink);
  ASSERT_TRUE(whole.ok);
  EXPECT_EQ(whole.validEnd, base.size() + entry.size());
  EXPECT_EQ(whole.lineAtValidEnd, 7u);
  EXPECT_EQ(whole.journalBytes, entry.size());

  // A reader may see an append cut anywhere, also inside its first line: the
  // tail begins where the entry does, so that reading on from there meets a
  // whole line.
  for (std::size_t cut = 1; cut < entry.size(); ++cut) {
    RegParseResult torn = parseRegText(base + entry + entry.substr(0, cut), {}, sink);
    ASSERT_TRUE(torn.ok) << "cut at " << cut;
    EXPECT_EQ(torn.validEnd, base.size() + entry.size()) << "cut at " << cut;
  }
  // The last line of a file written by hand counts without its line end.
  const std::string unterminated = base + "\"x\"=\"1\"";
  EXPECT_EQ(parseRegText(unterminated, {}, sink).validEnd, unterminated.size());
}

TEST(HiveText, DamagedTextIsRefusedWithItsLineNumber) {
  const std::string header = "Windows Registry Editor Version 5.00\n";
  std::string goodEntry = journalEntry("[HKEY_CURRENT_USER\\A]\n\"x\"=\"2\"\n");
  std::string badEntry = goodEntry;
  badEntry[badEntry.find("\"2\"") + 1] = '3';
  struct Case {
    std::string text;
    std::string where;
  };
  const Case cases[] = {
      {"not a registry\n", "line 1:"},
      {header + "\"x\"=\"1\"\n", "line 2:"},
      {header + "[HKEY_CURRENT_USER\\A]\n\"x\"=\"unterminated\n", "line 3:"},
      {header + "[HKEY_CURRENT_USER\\A]\n\"x\"=dword:123456789\n", "line 3:"},
      {header + "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:1,,2\n", "line 3:"},
      {header + "[HKEY_CURRENT_USER\\A]\n\"x\"=hex:01,\\\n", "line 3:"},
      {header + "[HKEY_CURRENT_USER\\A]\n\"x\"=hex(zz):01\n", "line 3:"},
      {header + "[HKEY_CURRENT_USER\\A\n", "line 2:"},
      {header + "[HKEY_CURRENT_USER\\\\A]\n", "line 2:"},
      {header + "[SOFTWARE\\A]\n", "line 2:"},
      {header + "[-HKEY_CURRENT_USER]\n", "line 2:"},
      {header + "\n\njunk\n", "line 4:"},
      {header + badEntry + goodEntry, "line 5:"},
      {header + goodEntry.substr(0, 30) + "\n" + goodEntry, "line 4:"},
  };
  for (const Case& c : cases) {
    std::string result;
    std::string error;
    EXPECT_FALSE(canonicalRegText(c.text, result, error)) << c.text;
    EXPECT_EQ(error.rfind(c.where, 0), 0u) << c.text << " gave " << error;
  }
}

TEST(HiveText, EveryValueFormReadsBackAsTheSameBytes) {
  struct Case {
    DWORD type;
    std::string data;
    std::string form;
  };
  const Case cases[] = {
      {REG_SZ, std::string("text\0", 5), "\"text\""},
      {REG_SZ, std::string("\xE9t\xE9\0", 4), "\"\xE9t\xE9\""},
      {REG_SZ, "no terminator", "hex(1):"},
      {REG_SZ, std::string("two\0\0", 5), "hex(1):"},
      {REG_SZ, std::string("line\nbreak\0", 11), "hex(1):"},
      {REG_SZ, "", "hex(1):"},
      {REG_EXPAND_SZ, std::string("%PATH%\0", 7), "hex(2):"},
      {REG_BINARY, std::string("\0\x01\xFF", 3), "hex:00,01,ff"},
      {REG_DWORD, std::string("\x78\x56\x34\x12", 4), "dword:12345678"},
      {REG_DWORD, std::string("\x01\x02", 2), "hex(4):01,02"},
      {REG_DWORD_BIG_ENDIAN, std::string("\0\0\0\x01", 4), "hex(5):"},
      {REG_MULTI_SZ, std::string("a\0b\0\0", 5), "hex(7):"},
      {REG_QWORD, std::string(8, '\x7F'), "hex(b):"},
      {REG_NONE, "", "hex(0):"},
      {0x12345678, "x", "hex(12345678):78"},
      {REG_BINARY, std::string(300, '\xAB'), "hex:ab,ab"},
  };
  for (const Case& c : cases) {
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n";
    appendValueLine(text, "v", c.type, c.data);
    EXPECT_NE(text.find(c.form), std::string::npos) << text;

    struct Capture : RegTextSink {
      bool openKey(const std::vector<std::string>&, std::string&) override { return true; }
      bool deleteKey(const std::vector<std::string>&, std::string&) override { return true; }
      void setValue(const std::string& n, DWORD t, std::string d) override {
        name = n;
        type = t;
        data = std::move(d);
      }
      void deleteValue(const std::string&) override {}
      std::string name;
      DWORD type = 0xFFFFFFFF;
      std::string data;
    } capture;
    ASSERT_TRUE(parseRegText(text, {}, capture).ok) << text;
    EXPECT_EQ(capture.name, "v");
    EXPECT_EQ(capture.type, c.type);
    EXPECT_EQ(capture.data, c.data) << text;
  }
}

TEST(HiveText, QuotedNamesAndStringsReadAsTheirBytes) {
  // \\ and \" are escapes, and \r, \n and \0 as Wine writes and reads them; any
  // other backslash stands for itself.
  struct Case {
    std::string quoted;
    std::string bytes;
  };
  const Case cases[] = {
      {R"("")", ""},
      {R"("plain text")", "plain text"},
      {R"("C:\dir\x.dll")", R"(C:\dir\x.dll)"},
      {R"("C:\\dir\\x.dll")", R"(C:\dir\x.dll)"},
      {R"("\"q\"")", R"("q")"},
      {R"("ends in \\")", R"(ends in \)"},
      {R"("\\\"")", R"(\")"},
      {R"("\a\"b\\c\d")", R"(\a"b\c\d)"},
      {R"("\t\x\R\N")", R"(\t\x\R\N)"},
      {R"("a\r\nb")", "a\r\nb"},
      {R"("\n")", "\n"},
      {R"("end\r")", "end\r"},
      {R"("a\0b")", std::string("a\0b", 3)},
      {R"("C:\\new\\r\\0")", R"(C:\new\r\0)"},
      {R"("\\\n\"")", "\\\n\""},
  };
  for (const Case& c : cases) {
    std::string text = "REGEDIT4\n[HKEY_CURRENT_USER\\K]\n" + c.quoted + "=" + c.quoted + "\n";
    struct Capture : RegTextSink {
      bool openKey(const std::vector<std::string>&, std::string&) override { return true; }
      bool deleteKey(const std::vector<std::string>&, std::string&) override { return true; }
      void setValue(const std::string& n, DWORD, std::string d) override {
        name = n;
        data = std::move(d);
      }
      void deleteValue(const std::string&) override {}
      std::string name;
      std::string data;
    } capture;
    RegParseResult parsed = parseRegText(text, {}, capture);
    ASSERT_TRUE(parsed.ok) << c.quoted << ": " << parsed.error;
    EXPECT_EQ(capture.name, c.bytes) << c.quoted;
    EXPECT_EQ(capture.data, c.bytes + '\0') << c.quoted;
  }
  // A closing quote taken by an escape leaves the string open.
  for (const char* open : {R"("x\")", R"("x\\\")", R"(")"}) {
    std::string result;
    std::string error;
    std::string text = std::string("REGEDIT4\n[HKEY_CURRENT_USER\\K]\n\"v\"=") + open + "\n";
    EXPECT_FALSE(canonicalRegText(text, result, error)) << open;
    EXPECT_EQ(error.rfind("line 3:", 0), 0u) << open << " gave " << error;
  }
}

TEST(HiveText, RegeditUtf16ExportIsRead) {
  // As regedit saves it on Windows: UTF-16LE with a BOM, CRLF line ends.
  std::string text = utf16le(
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\Software\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
      "\"Payroll\"=\"Driver\"\r\n\r\n");
  // A character outside ASCII in a name: U+00E9 comes out as UTF-8.
  text.insert(text.size() - 10, std::string("\xE9\x00", 2));
  std::string result;
  std::string error;
  ASSERT_TRUE(canonicalRegText(text, result, error)) << error;
  EXPECT_NE(result.find("\"Payroll\"=\"Driver\xC3\xA9\""), std::string::npos) << result;

  // A surrogate pair (U+1F600) is one character; a surrogate alone becomes U+FFFD.
  std::string pairs = text;
  pairs.insert(pairs.size() - 10, std::string("\x3D\xD8\x00\xDE\x00\xD8", 6));
  ASSERT_TRUE(canonicalRegText(pairs, result, error)) << error;
  EXPECT_NE(result.find("Driver\xC3\xA9\xF0\x9F\x98\x80\xEF\xBF\xBD\""), std::string::npos)
      << result;

  std::string odd = text + "x";
  EXPECT_FALSE(canonicalRegText(odd, result, error));
}

TEST(HiveText, Crc32IsTheZlibOneAtEveryLength) {
  const std::pair<std::string, std::uint32_t> known[] = {
      {"", 0x00000000u},
      {"a", 0xe8b7be43u},
      {"abc", 0x352441c2u},
      {"123456789", 0xcbf43926u},
      {"The quick brown fox jumps over the lazy dog", 0x414fa339u},
  };
  for (const auto& [text, crc] : known) EXPECT_EQ(crc32(text), crc) << text;
}

}  // namespace
}  // namespace dsnconf::posix
