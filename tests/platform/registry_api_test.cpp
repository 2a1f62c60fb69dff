// The Win32 registry calls give Windows' results over the hive files: values, order, case,
// buffer sizes, deleted keys and the error codes the program tells apart.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

constexpr REGSAM kAll = KEY_ALL_ACCESS;

class RegistryApiTest : public RegistryTest {
 protected:
  std::vector<std::string> names(HKEY key) {
    std::vector<std::string> result;
    for (const EnumeratedValue& value : enumerate(key)) result.push_back(value.name);
    return result;
  }
};

TEST_F(RegistryApiTest, CreatedKeysAndValuesOutliveTheProcess) {
  {
    ScopedKey key;
    DWORD disposition = 0;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, nullptr, 0, kAll, nullptr,
                              key.out(), &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    EXPECT_EQ(setString(key.get(), "Driver", "Ivorel"), ERROR_SUCCESS);
    EXPECT_EQ(setString(key.get(), "Server", "db1"), ERROR_SUCCESS);
  }
  restart();
  ScopedKey again;
  DWORD disposition = 0;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, nullptr, 0, kAll, nullptr,
                            again.out(), &disposition),
            ERROR_SUCCESS);
  EXPECT_EQ(disposition, REG_OPENED_EXISTING_KEY);
  // Strings written without their terminator are stored with one, as on Windows.
  std::vector<EnumeratedValue> expected = {{"Driver", REG_SZ, std::string("Ivorel\0", 7)},
                                           {"Server", REG_SZ, std::string("db1\0", 4)}};
  EXPECT_EQ(enumerate(again.get()), expected);
  std::string value;
  EXPECT_EQ(getString(again.get(), "Server", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "db1");
}

TEST_F(RegistryApiTest, ResultCodesTheCallersTellApart) {
  ScopedKey key;
  createUserDsn(key);
  DWORD number = 7;
  ASSERT_EQ(RegSetValueExA(key.get(), "Number", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4),
            ERROR_SUCCESS);
  HKEY missing = reinterpret_cast<HKEY>(0x12345678);
  std::string value;

  HKEY opened = HKEY_CURRENT_USER;
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Nowhere", 0, kAll, &opened),
            ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(opened, nullptr);
  EXPECT_EQ(getString(key.get(), "Absent", value), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteValueA(key.get(), "Absent"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(getString(key.get(), "Number", value), ERROR_UNSUPPORTED_TYPE);
  EXPECT_EQ(RegDeleteKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Nowhere", 0, 0), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(RegDeleteKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC", 0, 0), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "\\SOFTWARE", 0, kAll, &opened), ERROR_BAD_PATHNAME);
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE", 0,
                          KEY_READ | KEY_WOW64_32KEY | KEY_WOW64_64KEY, &opened),
            ERROR_INVALID_PARAMETER);

  char name[16];
  DWORD nameLength = sizeof name;
  EXPECT_EQ(RegEnumValueA(key.get(), 1, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_NO_MORE_ITEMS);
  EXPECT_EQ(RegEnumValueA(missing, 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegOpenKeyExA(missing, "x", 0, kAll, &opened), ERROR_INVALID_HANDLE);
  EXPECT_EQ(setString(missing, "x", "y"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(getString(nullptr, "x", value), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(missing), ERROR_INVALID_HANDLE);

  HKEY closed = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, &closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_SUCCESS);
  EXPECT_EQ(RegCloseKey(closed), ERROR_INVALID_HANDLE);
  EXPECT_EQ(setString(closed, "x", "y"), ERROR_INVALID_HANDLE);
  EXPECT_EQ(RegCloseKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
}

TEST_F(RegistryApiTest, NamesMatchInAnyCaseAndKeepTheirFirstCase) {
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "Driver", "one"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "DRIVER", "two"), ERROR_SUCCESS);
  ScopedKey upper;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "software\\odbc\\odbc.ini\\PAYROLL", 0, kAll, upper.out()),
      ERROR_SUCCESS);
  std::string value;
  EXPECT_EQ(getString(upper.get(), "driver", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "two");
  EXPECT_EQ(names(upper.get()), std::vector<std::string>{"Driver"});
  EXPECT_EQ(RegDeleteValueA(upper.get(), "dRiVeR"), ERROR_SUCCESS);
  EXPECT_TRUE(names(key.get()).empty());
  // Case folding is ASCII only.
  ASSERT_EQ(setString(key.get(), "\xC9", "upper"), ERROR_SUCCESS);
  EXPECT_EQ(getString(key.get(), "\xE9", value), ERROR_FILE_NOT_FOUND);

  restart();
  std::string canonical;
  std::string error;
  ASSERT_TRUE(posix::canonicalRegText(readFile(userHive()), canonical, error)) << error;
  EXPECT_NE(canonical.find("[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]"),
            std::string::npos);
}

TEST_F(RegistryApiTest, ValuesKeepCreationOrderAndDeletionMovesLaterOnesForward) {
  ScopedKey key;
  createUserDsn(key);
  for (const char* name : {"A", "B", "C", "D"}) ASSERT_EQ(setString(key.get(), name, name), 0);
  ASSERT_EQ(setString(key.get(), "B", "again"), ERROR_SUCCESS);
  ASSERT_EQ(RegDeleteValueA(key.get(), "A"), ERROR_SUCCESS);
  ASSERT_EQ(setString(key.get(), "A", "new"), ERROR_SUCCESS);
  const std::vector<std::string> expected = {"B", "C", "D", "A"};
  EXPECT_EQ(names(key.get()), expected);
  restart();
  ScopedKey reopened;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, KEY_READ, reopened.out()), 0);
  EXPECT_EQ(names(reopened.get()), expected);
}

TEST_F(RegistryApiTest, EnumerationBuffersAsTheProgramSizesThem) {
  ScopedKey key;
  createUserDsn(key);
  const std::string fits(1023, 'd');     // 1024 bytes with its terminator
  const std::string tooLong(1024, 'e');  // 1025 bytes
  ASSERT_EQ(setString(key.get(), std::string(1022, 'n').c_str(), "short"), 0);
  ASSERT_EQ(setString(key.get(), std::string(1023, 'n').c_str(), "name too long"), 0);
  ASSERT_EQ(setString(key.get(), "fits", fits), 0);
  ASSERT_EQ(setString(key.get(), "tooLong", tooLong), 0);

  struct Case {
    DWORD index;
    LONG result;
    DWORD dataLength;
  };
  const Case cases[] = {{0, ERROR_SUCCESS, 6},
                        {1, ERROR_MORE_DATA, 14},
                        {2, ERROR_SUCCESS, 1024},
                        {3, ERROR_MORE_DATA, 1025},
                        {4, ERROR_NO_MORE_ITEMS, 1024}};
  for (const Case& c : cases) {
    char name[1024] = {};
    BYTE data[1024] = {};
    DWORD nameLength = 1023;
    DWORD dataLength = 1024;
    EXPECT_EQ(
        RegEnumValueA(key.get(), c.index, name, &nameLength, nullptr, nullptr, data, &dataLength),
        c.result)
        << c.index;
    EXPECT_EQ(dataLength, c.dataLength) << c.index;
  }
}

TEST_F(RegistryApiTest, GetValueSizesAndTerminators) {
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "fits", std::string(1023, 'f')), 0);
  ASSERT_EQ(setString(key.get(), "tooLong", std::string(1024, 'g')), 0);
  // A string stored without its terminator: the byte after the given length is not zero.
  const char unterminated[] = "abcX";
  ASSERT_EQ(
      RegSetValueExA(key.get(), "raw", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 3),
      0);
  std::string full(1024, 'h');
  full += 'X';
  ASSERT_EQ(RegSetValueExA(key.get(), "raw1024", 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(full.data()), 1024),
            0);

  struct Case {
    const char* name;
    LONG result;
    DWORD size;
  };
  const Case cases[] = {{"fits", ERROR_SUCCESS, 1024},
                        {"tooLong", ERROR_MORE_DATA, 1025},
                        {"raw", ERROR_SUCCESS, 4},
                        {"raw1024", ERROR_MORE_DATA, 1025}};
  for (const Case& c : cases) {
    char buffer[1024];
    std::memset(buffer, 'Z', sizeof buffer);
    DWORD size = sizeof buffer;
    EXPECT_EQ(RegGetValueA(key.get(), nullptr, c.name, RRF_RT_REG_SZ, nullptr, buffer, &size),
              c.result)
        << c.name;
    EXPECT_EQ(size, c.size) << c.name;
    if (c.result == ERROR_SUCCESS) {
      EXPECT_EQ(buffer[size - 1], '\0') << c.name;
    }
    DWORD needed = 0;
    EXPECT_EQ(RegGetValueA(key.get(), nullptr, c.name, RRF_RT_REG_SZ, nullptr, nullptr, &needed),
              ERROR_SUCCESS);
    EXPECT_EQ(needed, c.size) << c.name;
  }

  // RegEnumValueA terminates such a string where the buffer has room, and
  // reports the stored length.
  for (const EnumeratedValue& value : enumerate(key.get())) {
    if (value.name == "raw") {
      EXPECT_EQ(value.data, "abc");
    }
  }
  char name[16];
  BYTE data[1024];
  DWORD nameLength = sizeof name;
  DWORD dataLength = sizeof data;
  std::memset(data, 'Z', sizeof data);
  ASSERT_EQ(RegEnumValueA(key.get(), 2, name, &nameLength, nullptr, nullptr, data, &dataLength), 0);
  EXPECT_EQ(dataLength, 3u);
  EXPECT_STREQ(reinterpret_cast<char*>(data), "abc");
}

TEST_F(RegistryApiTest, GetValueTypeRestrictions) {
  ScopedKey key;
  createUserDsn(key);
  ::setenv("DSNCONF_TEST_DIR", "/srv", 1);
  const std::string expandable = std::string("%DSNCONF_TEST_DIR%\\x %UNSET_DSNCONF_NAME%") + '\0';
  const BYTE eight[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  DWORD number = 0x01020304;
  ASSERT_EQ(RegSetValueExA(key.get(), "exp", 0, REG_EXPAND_SZ,
                           reinterpret_cast<const BYTE*>(expandable.data()),
                           static_cast<DWORD>(expandable.size())),
            0);
  ASSERT_EQ(RegSetValueExA(key.get(), "bin4", 0, REG_BINARY, eight, 4), 0);
  ASSERT_EQ(RegSetValueExA(key.get(), "bin8", 0, REG_BINARY, eight, 8), 0);
  ASSERT_EQ(RegSetValueExA(key.get(), "num", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), 4), 0);

  struct Case {
    const char* name;
    DWORD flags;
    LONG result;
    DWORD type;
    std::string data;
  };
  const Case cases[] = {
      {"exp", RRF_RT_REG_SZ, ERROR_SUCCESS, REG_SZ,
       std::string("/srv\\x %UNSET_DSNCONF_NAME%") + '\0'},
      {"exp", RRF_RT_REG_EXPAND_SZ | RRF_NOEXPAND, ERROR_SUCCESS, REG_EXPAND_SZ, expandable},
      {"exp", RRF_RT_REG_SZ | RRF_NOEXPAND, ERROR_UNSUPPORTED_TYPE, REG_EXPAND_SZ, ""},
      {"num", RRF_RT_REG_DWORD, ERROR_SUCCESS, REG_DWORD, std::string("\x04\x03\x02\x01", 4)},
      {"num", RRF_RT_REG_SZ, ERROR_UNSUPPORTED_TYPE, REG_DWORD, ""},
      {"bin4", RRF_RT_DWORD, ERROR_SUCCESS, REG_BINARY, std::string("\x01\x02\x03\x04", 4)},
      {"bin8", RRF_RT_DWORD, ERROR_DATATYPE_MISMATCH, REG_BINARY, ""},
      {"bin8", RRF_RT_ANY, ERROR_SUCCESS, REG_BINARY,
       std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"num", 0, ERROR_INVALID_PARAMETER, 0, ""},
  };
  for (const Case& c : cases) {
    char buffer[64] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    EXPECT_EQ(RegGetValueA(key.get(), nullptr, c.name, c.flags, &type, buffer, &size), c.result)
        << c.name << " " << c.flags;
    EXPECT_EQ(type, c.type) << c.name;
    if (c.result == ERROR_SUCCESS) {
      EXPECT_EQ(std::string(buffer, size), c.data) << c.name;
    }
  }
  std::string value;
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, kPayrollPath, "num", RRF_RT_REG_DWORD, nullptr, nullptr,
                         nullptr),
            ERROR_SUCCESS);
  ::unsetenv("DSNCONF_TEST_DIR");
}

TEST_F(RegistryApiTest, HandlesOfDeletedKeysReportKeyDeleted) {
  ScopedKey parent;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBCINST.INI", 0, nullptr, 0, kAll,
                            nullptr, parent.out(), nullptr),
            0);
  ScopedKey doomed;
  ASSERT_EQ(RegCreateKeyExA(parent.get(), "Old Driver\\Sub", 0, nullptr, 0, kAll, nullptr,
                            doomed.out(), nullptr),
            0);
  ASSERT_EQ(setString(doomed.get(), "x", "1"), 0);
  EXPECT_EQ(RegDeleteKeyExA(parent.get(), "Old Driver", 0, 0), ERROR_ACCESS_DENIED);
  EXPECT_EQ(RegDeleteKeyExA(parent.get(), "old driver\\SUB", 0, 0), ERROR_SUCCESS);

  std::string value;
  HKEY child = nullptr;
  char name[16];
  DWORD nameLength = sizeof name;
  EXPECT_EQ(setString(doomed.get(), "x", "2"), ERROR_KEY_DELETED);
  EXPECT_EQ(getString(doomed.get(), "x", value), ERROR_KEY_DELETED);
  EXPECT_EQ(RegDeleteValueA(doomed.get(), "x"), ERROR_KEY_DELETED);
  EXPECT_EQ(RegEnumValueA(doomed.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
            ERROR_KEY_DELETED);
  EXPECT_EQ(RegCreateKeyExA(doomed.get(), "y", 0, nullptr, 0, kAll, nullptr, &child, nullptr),
            ERROR_KEY_DELETED);
  // Made again, the key is a new key: the old handle stays dead.
  ScopedKey remade;
  ASSERT_EQ(RegCreateKeyExA(parent.get(), "Old Driver\\Sub", 0, nullptr, 0, kAll, nullptr,
                            remade.out(), nullptr),
            0);
  EXPECT_EQ(setString(doomed.get(), "x", "3"), ERROR_KEY_DELETED);
  EXPECT_TRUE(enumerate(remade.get()).empty());
}

TEST_F(RegistryApiTest, NamesBeyondWindowsLimitsAreRefused) {
  ScopedKey key;
  createUserDsn(key);
  HKEY child = nullptr;
  EXPECT_EQ(RegCreateKeyExA(key.get(), std::string(256, 'k').c_str(), 0, nullptr, 0, kAll, nullptr,
                            &child, nullptr),
            ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(key.get(), std::string(16384, 'v').c_str(), "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(setString(key.get(), "two\nlines", "x"), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(RegSetValueExA(key.get(), "x", 0, REG_BINARY, nullptr, 4), ERROR_NOACCESS);
  EXPECT_EQ(RegCreateKeyExA(key.get(), "a\\\\b\\", 0, nullptr, 0, kAll, nullptr, &child, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(child);
  EXPECT_EQ(RegOpenKeyExA(key.get(), "a\\b", 0, KEY_READ, &child), ERROR_SUCCESS);
  RegCloseKey(child);
}

TEST_F(RegistryApiTest, ThousandsOfSiblingsAndValues) {
  ScopedKey list;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", 0,
                            nullptr, 0, kAll, nullptr, list.out(), nullptr),
            0);
  constexpr int kCount = 1000;
  for (int i = 0; i < kCount; ++i) {
    std::string name = "DSN" + std::to_string(i);
    ScopedKey dsn;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, ("SOFTWARE\\ODBC\\ODBC.INI\\" + name).c_str(), 0,
                              nullptr, 0, kAll, nullptr, dsn.out(), nullptr),
              0);
    ASSERT_EQ(setString(list.get(), name.c_str(), "Driver"), 0);
  }
  for (int i = 0; i < kCount; i += 2) {
    ASSERT_EQ(setString(list.get(), ("dsn" + std::to_string(i)).c_str(), "Other"), 0);
  }
  restart();
  ScopedKey reopened;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", 0,
                          KEY_READ, reopened.out()),
            0);
  std::vector<EnumeratedValue> values = enumerate(reopened.get());
  ASSERT_EQ(values.size(), static_cast<std::size_t>(kCount));
  for (int i = 0; i < kCount; ++i) {
    EXPECT_EQ(values[i].name, "DSN" + std::to_string(i));
    EXPECT_EQ(values[i].data, std::string(i % 2 == 0 ? "Other" : "Driver") + '\0');
  }
  ScopedKey last;
  EXPECT_EQ(
      RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\dsn999", 0, KEY_READ, last.out()),
      ERROR_SUCCESS);
}

}  // namespace
}  // namespace dsnconf::test
