// String data given as hex in a UTF-16 hive file is UTF-16LE, as regedit
// writes it: it is read as the UTF-8 the ANSI calls hand out, with sizes to
// match, and a change to such a file keeps every other value as it was read.
// In 8-bit text the same hex data is taken byte for byte.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registry/text/journal.h"
#include "registry/text/reg_decoding.h"
#include "registry/text/reg_parser.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/reg_key.h"
#include "registry/tree/tree_sink.h"
#include "registry_fixture.h"
#include "wide_text.h"

namespace dsnconf::test {
namespace {

using posix::RegKey;

// A literal's bytes, zeros included, without the zero that ends it.
template <std::size_t N>
std::string bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

// ASCII text as a UTF-16LE file with a byte-order mark.
std::string utf16File(const std::string& ascii) {
  std::string out = "\xFF\xFE";
  for (char c : ascii) {
    out += c;
    out += '\0';
  }
  return out;
}

// UTF-8 as UTF-16LE, a character past U+FFFF as a surrogate pair.
std::string utf16leOf(const std::string& utf8) {
  std::string out;
  auto unit = [&](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8);
  };
  for (wchar_t c : fromUtf8(utf8)) {
    const auto code = static_cast<char32_t>(c);
    if (code < 0x10000) {
      unit(code);
    } else {
      unit(0xD800 + ((code - 0x10000) >> 10));
      unit(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return out;
}

std::string hexList(const std::string& bytes) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char byte : bytes) {
    if (!out.empty()) out += ',';
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

// Parses a whole hive file as the store does and returns the values of
// HKEY_CURRENT_USER\K.
std::vector<posix::RegValue> valuesIn(const std::string& fileBytes) {
  posix::DecodedRegText decoded;
  std::string error;
  EXPECT_TRUE(posix::decodeRegFile(fileBytes, decoded, error)) << error;
  auto root = std::make_shared<RegKey>("HKEY_CURRENT_USER", nullptr);
  posix::RegTreeSink sink(*root);
  posix::RegParseResult parsed =
      posix::parseRegText(decoded.text, posix::wholeFileOptions(decoded), sink);
  EXPECT_TRUE(parsed.ok) << parsed.error;
  RegKey* key = root->findChild("K");
  return key == nullptr ? std::vector<posix::RegValue>{} : key->values();
}

const std::string kHeader =
    "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";

TEST(WideStringData, ValueLinesReadInTheFilesEncoding) {
  struct Row {
    const char* what;
    bool utf16;
    const char* line;  // ASCII; the part after "v"=
    DWORD type;
    std::string data;
  };
  const Row rows[] = {
      {"expandable string", true, "hex(2):25,00,50,00,25,00,5c,00,49,00,00,00", REG_EXPAND_SZ,
       bytes("%P%\\I\0")},
      {"multiple strings keep every terminator", true, "hex(7):61,00,00,00,00,00,62,00,00,00,00,00",
       REG_MULTI_SZ, bytes("a\0\0b\0\0")},
      {"string as hex", true, "hex(1):e9,00,ac,20,00,00", REG_SZ, bytes("\xC3\xA9\xE2\x82\xAC\0")},
      {"string without its terminator", true, "hex(1):61,00,62,00", REG_SZ, "ab"},
      {"surrogate pair", true, "hex(2):3d,d8,00,de,00,00", REG_EXPAND_SZ,
       bytes("\xF0\x9F\x98\x80\0")},
      {"high surrogate without its pair", true, "hex(1):3d,d8,41,00", REG_SZ,
       "\xEF\xBF\xBD"
       "A"},
      {"low surrogate alone", true, "hex(7):00,de", REG_MULTI_SZ, "\xEF\xBF\xBD"},
      {"odd last byte dropped", true, "hex(1):61,00,62", REG_SZ, "a"},
      {"one byte only", true, "hex(2):41", REG_EXPAND_SZ, ""},
      {"empty", true, "hex(7):", REG_MULTI_SZ, ""},
      {"quoted string", true, "\"\\\\x\"", REG_SZ, bytes("\\x\0")},
      {"binary stays bytes", true, "hex:61,00,62,00", REG_BINARY, bytes("a\0b\0")},
      {"other types stay bytes", true, "hex(b):61,00,62,00", 11, bytes("a\0b\0")},
      {"none stays bytes", true, "hex(0):61,00", REG_NONE, bytes("a\0")},
      {"dword", true, "dword:0000002a", REG_DWORD, bytes("\x2a\0\0\0")},
      {"8-bit: expandable string as it stands", false, "hex(2):25,00,50,00", REG_EXPAND_SZ,
       bytes("%\0P\0")},
      {"8-bit: UTF-8 bytes as they stand", false, "hex(1):c3,a9,00", REG_SZ, bytes("\xC3\xA9\0")},
      {"8-bit: odd byte count kept", false, "hex(7):61,00,62", REG_MULTI_SZ, bytes("a\0b")},
  };
  for (const Row& row : rows) {
    const std::string text = kHeader + "\"v\"=" + row.line + "\r\n";
    const std::vector<posix::RegValue> values = valuesIn(row.utf16 ? utf16File(text) : text);
    ASSERT_EQ(values.size(), 1u) << row.what;
    EXPECT_EQ(values[0].type, row.type) << row.what;
    EXPECT_EQ(hexList(values[0].data), hexList(row.data)) << row.what;
  }
}

TEST(WideStringData, HexDataContinuedOverLinesAndInJournalEntriesIsConverted) {
  const std::string body = "[HKEY_CURRENT_USER\\K]\n\"j\"=hex(2):41,00,\\\n  42,00,00,00\n";
  const std::string text =
      kHeader + "\"v\"=hex(7):61,00,00,00,\\\r\n  00,00\r\n" + posix::journalEntry(body);
  const std::vector<posix::RegValue> values = valuesIn(utf16File(text));
  ASSERT_EQ(values.size(), 2u);
  EXPECT_EQ(values[0].data, bytes("a\0\0"));
  EXPECT_EQ(values[1].data, bytes("AB\0"));
}

// What a writer of UTF-16 regedit files emits for every type reads back as
// the very value it wrote: strings quoted where they can be, the string
// types' hex data in UTF-16LE, everything else byte for byte.
TEST(WideStringData, EveryTypeRoundTripsThroughAUtf16RegeditText) {
  const posix::RegValue written[] = {
      {"Quoted", REG_SZ, bytes("Caf\xC3\xA9 \xF0\x9F\x98\x80 \"q\" \\\0")},
      {"Empty", REG_SZ, bytes("\0")},
      {"Unterminated", REG_SZ, "ab"},
      {"Lines", REG_SZ, bytes("a\r\nb\0")},
      {"Home", REG_EXPAND_SZ, bytes("%ProgramFiles%\\Ivorel\0")},
      {"Extensions", REG_MULTI_SZ, bytes("*.dat\0\0*.\xE2\x82\xAC\0\0")},
      {"EmptyList", REG_MULTI_SZ, bytes("\0")},
      {"Blob", REG_BINARY, bytes("\x00\x01\xFE\xFF")},
      {"Count", REG_DWORD, bytes("\x2a\0\0\0")},
      {"Short", REG_DWORD, bytes("\x2a")},
      {"Big", REG_DWORD_BIG_ENDIAN, bytes("\0\0\0\x2a")},
      {"Date", REG_QWORD, bytes("\x00\xe4\x0b\x54\x02\x00\x00\x00")},
      {"Nothing", REG_NONE, ""},
      {"", REG_SZ, bytes("default\0")},
  };
  std::string text = "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\K]\r\n";
  for (const posix::RegValue& value : written) {
    std::string line;
    posix::appendValueLine(line, value.name, value.type, value.data);
    const std::size_t at = line.find("=hex(");
    const bool stringType =
        value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ;
    if (stringType && at != std::string::npos) {
      line = line.substr(0, line.find(':', at) + 1) + hexList(utf16leOf(value.data)) + "\n";
    }
    text += line.substr(0, line.size() - 1) + "\r\n";
  }
  std::string wide = "\xFF\xFE" + utf16leOf(text);
  const std::vector<posix::RegValue> values = valuesIn(wide);
  ASSERT_EQ(values.size(), std::size(written));
  for (std::size_t i = 0; i < values.size(); ++i) {
    EXPECT_EQ(values[i].name, written[i].name);
    EXPECT_EQ(values[i].type, written[i].type) << written[i].name;
    EXPECT_EQ(hexList(values[i].data), hexList(written[i].data)) << written[i].name;
  }
}

class RegistryWideHiveFile : public RegistryTest {
 protected:
  // A regedit export of one user data source with a string of every kind.
  // `padding` more data sources after it make the file as large as wanted.
  void writeExport(std::size_t padding = 0) {
    const std::string home = hexList(utf16leOf(bytes("%ProgramFiles%\\Ivorel\0")));
    const std::string files = hexList(utf16leOf(bytes("*.dat\0*.\xC3\xA9\0\0")));
    writeFile(userHive(), utf16File("Windows Registry Editor Version 5.00\r\n\r\n"
                                    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\r\n"
                                    "\"Server\"=\"db\"\r\n"
                                    "\"Home\"=hex(2):" +
                                    home +
                                    "\r\n"
                                    "\"Files\"=hex(7):" +
                                    files +
                                    "\r\n"
                                    "\"Port\"=dword:00001538\r\n\r\n" +
                                    paddingSources(padding)));
  }

  static std::string paddingSources(std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
      text += "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Pad" + std::to_string(i) +
              "]\r\n\"Home\"=hex(2):41,00,00,00\r\n\r\n";
    }
    return text;
  }

  std::vector<EnumeratedValue> payrollValues() {
    ScopedKey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, KEY_READ, key.out()), 0);
    return enumerate(key.get());
  }

  const std::vector<EnumeratedValue> expected_ = {
      {"Server", REG_SZ, bytes("db\0")},
      {"Home", REG_EXPAND_SZ, bytes("%ProgramFiles%\\Ivorel\0")},
      {"Files", REG_MULTI_SZ, bytes("*.dat\0*.\xC3\xA9\0\0")},
      {"Port", REG_DWORD, bytes("\x38\x15\0\0")},
  };
};

TEST_F(RegistryWideHiveFile, AnsiCallsReportTheConvertedDataAndItsSize) {
  writeExport();
  EXPECT_EQ(payrollValues(), expected_);

  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, KEY_READ, key.out()), 0);
  struct Query {
    const char* name;
    DWORD flags;
    DWORD type;
    std::string data;
  };
  const Query queries[] = {
      {"Home", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, REG_EXPAND_SZ, expected_[1].data},
      {"Files", RRF_RT_REG_MULTI_SZ, REG_MULTI_SZ, expected_[2].data},
  };
  for (const Query& query : queries) {
    DWORD type = 0;
    DWORD size = 0;
    ASSERT_EQ(RegQueryValueExA(key.get(), query.name, nullptr, &type, nullptr, &size), 0);
    EXPECT_EQ(type, query.type) << query.name;
    EXPECT_EQ(size, query.data.size()) << query.name;
    std::string buffer(size, 'x');
    DWORD small = size - 1;
    EXPECT_EQ(
        RegGetValueA(key.get(), nullptr, query.name, query.flags, &type, buffer.data(), &small),
        ERROR_MORE_DATA)
        << query.name;
    size = static_cast<DWORD>(buffer.size());
    ASSERT_EQ(
        RegGetValueA(key.get(), nullptr, query.name, query.flags, &type, buffer.data(), &size), 0)
        << query.name;
    EXPECT_EQ(buffer.substr(0, size), query.data) << query.name;
  }
  // The export stays as it is until something changes.
  restart();
  EXPECT_EQ(payrollValues(), expected_);
}

TEST_F(RegistryWideHiveFile, ChangesAndTheRewriteKeepEveryOtherValueAsRead) {
  writeExport();
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, KEY_ALL_ACCESS, key.out()), 0);
  ASSERT_EQ(setString(key.get(), "Server", "db2"), 0);
  std::vector<EnumeratedValue> expected = expected_;
  expected[0].data = bytes("db2\0");
  EXPECT_EQ(payrollValues(), expected);

  // Copied as reg /add copies a registration: each value's bytes as read.
  ScopedKey copy;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Copy", 0, nullptr, 0,
                            KEY_ALL_ACCESS, nullptr, copy.out(), nullptr),
            0);
  for (const EnumeratedValue& value : payrollValues()) {
    ASSERT_EQ(RegSetValueExA(copy.get(), value.name.c_str(), 0, value.type,
                             reinterpret_cast<const BYTE*>(value.data.data()),
                             static_cast<DWORD>(value.data.size())),
              0);
  }
  restart();
  EXPECT_EQ(payrollValues(), expected);
  ScopedKey reopened;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Copy", 0, KEY_READ,
                          reopened.out()),
            0);
  EXPECT_EQ(enumerate(reopened.get()), expected);

  // The rewrite is our 8-bit text, whose hex data is the converted bytes.
  const std::string file = readFile(userHive());
  EXPECT_EQ(file.rfind("Windows Registry Editor Version 5.00\n", 0), 0u);
  EXPECT_NE(file.find("\"Home\"=hex(2):25,50,72,6f,67"), std::string::npos) << file;
}

// A large export is read whole until the first change rewrites it; from
// then on it is indexed, and values read through the index are those read
// from the export.
TEST_F(RegistryWideHiveFile, LargeExportIsIndexedOnceRewrittenAndReadsTheSame) {
  writeExport(2000);
  ASSERT_GE(readFile(userHive()).size(), posix::Hive::kDefaultIndexThreshold);
  EXPECT_EQ(payrollValues(), expected_);
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, KEY_ALL_ACCESS, key.out()), 0);
  ASSERT_EQ(setString(key.get(), "Extra", "x"), 0);
  restart();
  const std::uint64_t before = posix::Hive::indexedLoads();
  std::vector<EnumeratedValue> expected = expected_;
  expected.push_back({"Extra", REG_SZ, bytes("x\0")});
  EXPECT_EQ(payrollValues(), expected);
  EXPECT_EQ(posix::Hive::indexedLoads(), before + 1);
  ScopedKey last;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Pad1999", 0, KEY_READ,
                          last.out()),
            0);
  EXPECT_EQ(enumerate(last.get()),
            (std::vector<EnumeratedValue>{{"Home", REG_EXPAND_SZ, bytes("A\0")}}));
}

}  // namespace
}  // namespace dsnconf::test
