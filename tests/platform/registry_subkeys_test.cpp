// RegEnumKeyExA over the hive files: subkeys in Windows' order, the buffer
// rules, the rights and the views, and a walk that deletes what it enumerates.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

constexpr const char* kOdbcIni = "SOFTWARE\\ODBC\\ODBC.INI";

class RegistrySubkeysTest : public RegistryTest {
 protected:
  void createKeys(HKEY root, REGSAM view, const std::vector<std::string>& names) {
    for (const std::string& name : names) {
      ScopedKey key;
      const std::string path = std::string(kOdbcIni) + "\\" + name;
      ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                                key.out(), nullptr),
                ERROR_SUCCESS)
          << name;
    }
  }

  // Every subkey name, as a walk with a generous buffer sees them.
  static std::vector<std::string> subkeys(HKEY key) {
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
      char name[256];
      DWORD length = sizeof name;
      LONG result = RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (result != ERROR_SUCCESS) {
        EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
        break;
      }
      EXPECT_EQ(length, std::string(name).size());
      names.emplace_back(name);
    }
    return names;
  }
};

TEST_F(RegistrySubkeysTest, SubkeysComeSortedWithoutRegardToCaseAndKeepTheirCase) {
  createKeys(HKEY_CURRENT_USER, 0, {"payroll", "ODBC Data Sources", "Archive", "b", "A2"});
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOdbcIni, 0, KEY_READ, key.out()), ERROR_SUCCESS);
  const std::vector<std::string> expected = {"A2", "Archive", "b", "ODBC Data Sources", "payroll"};
  EXPECT_EQ(subkeys(key.get()), expected);
  restart();
  ScopedKey again;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOdbcIni, 0, KEY_READ, again.out()), ERROR_SUCCESS);
  EXPECT_EQ(subkeys(again.get()), expected);
}

TEST_F(RegistrySubkeysTest, BufferRightsAndHandleResults) {
  createKeys(HKEY_CURRENT_USER, 0, {"Payroll"});
  ScopedKey readable;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOdbcIni, 0, KEY_READ, readable.out()), ERROR_SUCCESS);
  ScopedKey valuesOnly;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOdbcIni, 0, KEY_QUERY_VALUE, valuesOnly.out()),
            ERROR_SUCCESS);

  struct Row {
    const char* what;
    HKEY key;
    DWORD index;
    DWORD buffer;
    LONG result;
    const char* name;
  };
  const Row rows[] = {
      {"fits with its terminator", readable.get(), 0, 8, ERROR_SUCCESS, "Payroll"},
      {"no room for the terminator", readable.get(), 0, 7, ERROR_MORE_DATA, nullptr},
      {"past the last subkey", readable.get(), 1, 256, ERROR_NO_MORE_ITEMS, nullptr},
      {"opened without the right to enumerate", valuesOnly.get(), 0, 256, ERROR_ACCESS_DENIED,
       nullptr},
      {"no such handle", reinterpret_cast<HKEY>(0x12345678), 0, 256, ERROR_INVALID_HANDLE, nullptr},
  };
  for (const Row& row : rows) {
    char name[256] = {};
    DWORD length = row.buffer;
    EXPECT_EQ(RegEnumKeyExA(row.key, row.index, name, &length, nullptr, nullptr, nullptr, nullptr),
              row.result)
        << row.what;
    if (row.name != nullptr) {
      EXPECT_STREQ(name, row.name) << row.what;
      EXPECT_EQ(length, std::string(row.name).size()) << row.what;
    }
  }
}

TEST_F(RegistrySubkeysTest, EachMachineViewListsItsOwnSubkeys) {
  createKeys(HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, {"Sales"});
  createKeys(HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, {"Legacy Orders", "Reports"});
  ScopedKey view64;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOdbcIni, 0, KEY_READ | KEY_WOW64_64KEY, view64.out()),
      ERROR_SUCCESS);
  ScopedKey view32;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOdbcIni, 0, KEY_READ | KEY_WOW64_32KEY, view32.out()),
      ERROR_SUCCESS);
  EXPECT_EQ(subkeys(view64.get()), std::vector<std::string>{"Sales"});
  EXPECT_EQ(subkeys(view32.get()), (std::vector<std::string>{"Legacy Orders", "Reports"}));
}

TEST_F(RegistrySubkeysTest, AWalkThatDeletesTheFirstSubkeyEachTimeSeesTheRest) {
  createKeys(HKEY_CURRENT_USER, 0, {"c", "a", "b"});
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kOdbcIni, 0, KEY_ALL_ACCESS, key.out()),
            ERROR_SUCCESS);
  std::vector<std::string> deleted;
  char name[256];
  DWORD length = sizeof name;
  while (RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr) ==
         ERROR_SUCCESS) {
    ASSERT_EQ(RegDeleteKeyExA(key.get(), name, 0, 0), ERROR_SUCCESS) << name;
    deleted.emplace_back(name);
    length = sizeof name;
  }
  EXPECT_EQ(deleted, (std::vector<std::string>{"a", "b", "c"}));
  EXPECT_TRUE(subkeys(key.get()).empty());
}

}  // namespace
}  // namespace dsnconf::test
