// export /reg read back by the hive reader: the file holds every family data
// source's key with exactly the values the registry hands out, each with its
// type, its list entry, and nothing of other drivers' data sources.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "registry_fixture.h"
#include "dsn/inventory.h"
#include "dsn/reg_file_writer.h"
#include "registry/text/reg_decoding.h"
#include "registry/text/reg_parser.h"

namespace dsnconf::test {
namespace {

const char* const kUser = R"reg(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Payroll"="Ivorel ODBC Driver"
"Sheets"="Acme Text Driver"
"Gone"="Sarvonet ODBC Driver"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Payroll]
"Driver"="C:\\Program Files\\Ivorel \"x\"\\ivorel.dll"
@="default"
"Empty"=""
"Port"=dword:00001538
"Short"=hex(4):38,15
"Path"=hex(2):25,54,45,4d,50,25,5c,c3,a9,00
"Hosts"=hex(7):61,00,62,c3,a9,00,00
"Unterminated"=hex(1):61,62
"Embedded"=hex(1):61,00,62,00
"Lines"=hex(1):61,0a,62,00
"Blob"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,15,16,17,18,19,1a,1b,1c,1d,1e,1f,20,21,22,23,24,25,26,27,28,29,2a,2b,2c,2d,2e,2f
"Big"=hex(5):00,00,15,38
"Wide"=hex(b):01,00,00,00,00,00,00,80
"Nothing"=hex(0):
"Unknown"=hex(2a):07
"Caf\u00e9"="\u00e9t\u00e9"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Sheets]
"Driver"="C:\\text.dll"
)reg";

const char* const kMachine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Sales"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Sales]
"Server"="sales-db"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"Legacy"="Brenmoor ODBC Driver (32-bit)"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Legacy]
"Port"=dword:00000001
)reg";

// Names and text beyond any ANSI code page, as the hive files hold them:
// UTF-8 (a surrogate without its pair and an odd last byte have no place here).
const char* const kUnicodeUser = R"reg(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Данные"="Ivorel ODBC Driver"
"日本語 😀"="Ivorel ODBC Driver"
"Таблицы"="Acme Text Driver"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные]
"Сервер"="日本語 😀"
"Zero"=hex(1):61,00,62,00
"Путь"=hex(2):25,54,45,4d,50,25,5c,d0,94,00
"Хосты"=hex(7):d0,94,00,e6,97,a5,00,00
"Порт"=dword:00001538

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные\Engines\Jet]
"Потоки"="4"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Данные\Engines\Jet\Ядро 😀]
"Имя"="значение"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\日本語 😀]
"サーバー"="東京"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Таблицы]
"Driver"="C:\\text.dll"
)reg";

const char* const kUnicodeMachine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"注文 📦"="Brenmoor ODBC Driver (32-bit)"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\注文 📦]
"ポート"=dword:00000001
)reg";

// Every key and its values, in file order, as the hive reader takes them.
class CollectingSink : public posix::RegTextSink {
 public:
  std::map<std::string, std::vector<EnumeratedValue>> keys;

  bool openKey(const std::vector<std::string>& path, std::string&) override {
    current_.clear();
    for (const std::string& part : path) current_ += (current_.empty() ? "" : "\\") + part;
    keys[current_];
    return true;
  }
  bool deleteKey(const std::vector<std::string>&, std::string& error) override {
    error = "an export deletes no key";
    return false;
  }
  void setValue(const std::string& name, DWORD type, std::string data) override {
    keys[current_].push_back({name, type, std::move(data)});
  }
  void deleteValue(const std::string&) override { ADD_FAILURE() << "an export deletes no value"; }

 private:
  std::string current_;
};

std::string fullText(const char* text) {
  // \u00e9 stands for the UTF-8 bytes of é, the POSIX build's code page.
  std::string out;
  const std::string_view whole(text);
  for (const char* p = text; *p; ++p) {
    if (whole.substr(static_cast<std::size_t>(p - text)).substr(0, 6) == "\\u00e9") {
      out += "\xc3\xa9";
      p += 5;
    } else {
      out += *p;
    }
  }
  return out;
}

class ExportRoundTrip : public RegistryTest {
 protected:
  // export /reg of what the hives hold, read back by the hive reader.
  CollectingSink exported() {
    restart();
    Inventory inventory;
    InventoryFailure failure;
    CollectingSink sink;
    EXPECT_EQ(readInventory(inventory, failure), ERROR_SUCCESS) << failure.key;
    posix::DecodedRegText decoded;
    std::string error;
    EXPECT_TRUE(
        posix::decodeRegFile(utf16LeFileBytes(regFileText(inventory, true)), decoded, error))
        << error;
    EXPECT_EQ(decoded.encoding, posix::RegTextEncoding::Utf16);
    const posix::RegParseResult parsed =
        posix::parseRegText(decoded.text, posix::wholeFileOptions(decoded), sink);
    EXPECT_TRUE(parsed.ok) << parsed.error;
    return sink;
  }

  std::vector<EnumeratedValue> valuesOf(HKEY root, REGSAM view, const std::string& path) {
    ScopedKey key;
    EXPECT_EQ(RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, key.out()), ERROR_SUCCESS)
        << path;
    return key.get() ? enumerate(key.get()) : std::vector<EnumeratedValue>{};
  }
};

TEST_F(ExportRoundTrip, TheHiveReaderReadsBackEveryKeyAndValueExactly) {
  writeFile(userHive(), fullText(kUser));
  writeFile(machineHive(), kMachine);
  CollectingSink sink = exported();

  const std::string user = "HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\";
  const std::string machine = "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\";
  const std::string machine32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\";
  const std::string odbcIni = "SOFTWARE\\ODBC\\ODBC.INI\\";
  const std::vector<EnumeratedValue> payroll = valuesOf(HKEY_CURRENT_USER, 0, odbcIni + "Payroll");
  ASSERT_EQ(payroll.size(), 16u);
  EXPECT_EQ(sink.keys[user + "Payroll"], payroll);
  EXPECT_EQ(sink.keys[machine + "Sales"],
            valuesOf(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, odbcIni + "Sales"));
  EXPECT_EQ(sink.keys[machine32 + "Legacy"],
            valuesOf(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, odbcIni + "Legacy"));

  // The lists hold the family's entries only; Gone has an entry but no key.
  const std::string ivorel("Ivorel ODBC Driver\0", 19);
  EXPECT_EQ(
      sink.keys[user + "ODBC Data Sources"],
      (std::vector<EnumeratedValue>{{"Payroll", REG_SZ, ivorel},
                                    {"Gone", REG_SZ, std::string("Sarvonet ODBC Driver\0", 21)}}));
  EXPECT_EQ(sink.keys[machine + "ODBC Data Sources"],
            (std::vector<EnumeratedValue>{{"Sales", REG_SZ, ivorel}}));
  EXPECT_EQ(sink.keys.count(user + "Sheets"), 0u) << "another driver's data source";
  EXPECT_EQ(sink.keys.count(user + "Gone"), 0u) << "no key to export";
  EXPECT_EQ(sink.keys.size(), 6u);
}

TEST_F(ExportRoundTrip, NamesAndTextBeyondTheAnsiCodePageReadBackExactly) {
  writeFile(userHive(), kUnicodeUser);
  writeFile(machineHive(), kUnicodeMachine);
  CollectingSink sink = exported();

  const std::string odbcIni = "SOFTWARE\\ODBC\\ODBC.INI\\";
  const std::string user = "HKEY_CURRENT_USER\\" + odbcIni;
  const std::vector<std::string> userKeys = {"Данные", "Данные\\Engines", "Данные\\Engines\\Jet",
                                             "Данные\\Engines\\Jet\\Ядро 😀", "日本語 😀"};
  for (const std::string& key : userKeys) {
    ASSERT_EQ(sink.keys.count(user + key), 1u) << key;
    EXPECT_EQ(sink.keys[user + key], valuesOf(HKEY_CURRENT_USER, 0, odbcIni + key)) << key;
  }
  EXPECT_EQ(sink.keys[user + "Данные"].size(), 5u);
  const std::string machine32 = "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\";
  EXPECT_EQ(sink.keys[machine32 + "注文 📦"],
            valuesOf(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, odbcIni + "注文 📦"));
  EXPECT_EQ(sink.keys[machine32 + "ODBC Data Sources"],
            (std::vector<EnumeratedValue>{
                {"注文 📦", REG_SZ, std::string("Brenmoor ODBC Driver (32-bit)\0", 30)}}));
  const std::string ivorel("Ivorel ODBC Driver\0", 19);
  EXPECT_EQ(sink.keys[user + "ODBC Data Sources"],
            (std::vector<EnumeratedValue>{{"Данные", REG_SZ, ivorel}, {"日本語 😀", REG_SZ, ivorel}}));
  EXPECT_EQ(sink.keys.count(user + "Таблицы"), 0u) << "another driver's data source";
  EXPECT_EQ(sink.keys.size(), 8u);
}

}  // namespace
}  // namespace dsnconf::test
