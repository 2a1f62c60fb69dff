// A registry folder of its own for each test, and small helpers over the
// Win32 registry calls.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "registry/api/registry_state.h"
#include "registry/store/hive.h"
#include "win32.h"

namespace dsnconf::test {

// Closes a key handle at the end of its scope.
class ScopedKey {
 public:
  ScopedKey() = default;
  ~ScopedKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  ScopedKey(const ScopedKey&) = delete;
  ScopedKey& operator=(const ScopedKey&) = delete;
  HKEY get() const { return key_; }
  PHKEY out() { return &key_; }

 private:
  HKEY key_ = nullptr;
};

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

inline LONG setString(HKEY key, const char* name, const std::string& value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size()));
}

// A value read as the program reads one property: RRF_RT_REG_SZ into 1024 bytes.
inline LONG getString(HKEY key, const char* name, std::string& value) {
  char buffer[1024] = {};
  DWORD size = sizeof buffer;
  LONG result = RegGetValueA(key, nullptr, name, RRF_RT_REG_SZ, nullptr, buffer, &size);
  value = result == ERROR_SUCCESS ? std::string(buffer) : std::string();
  return result;
}

struct EnumeratedValue {
  std::string name;
  DWORD type;
  std::string data;
  bool operator==(const EnumeratedValue& other) const {
    return name == other.name && type == other.type && data == other.data;
  }
};

inline std::ostream& operator<<(std::ostream& out, const EnumeratedValue& value) {
  return out << value.name << " (" << value.type << ") " << value.data.size() << " bytes";
}

// Every value of a key, with its exact bytes, in enumeration order.
inline std::vector<EnumeratedValue> enumerate(HKEY key) {
  std::vector<EnumeratedValue> values;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    std::vector<BYTE> data(65536);
    DWORD nameLength = sizeof name;
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = 0;
    LONG result =
        RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data.data(), &dataLength);
    if (result != ERROR_SUCCESS) {
      EXPECT_EQ(result, ERROR_NO_MORE_ITEMS);
      break;
    }
    values.push_back({std::string(name, nameLength), type,
                      std::string(reinterpret_cast<char*>(data.data()), dataLength)});
  }
  return values;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = std::filesystem::temp_directory_path() / "dsnconf-registry-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    folder_ = pattern;
    ::setenv("DSNCONF_REGISTRY", folder_.c_str(), 1);
    ::setenv("DSNCONF_ELEVATED", "1", 1);
    ::unsetenv("DSNCONF_WOW64");
    // The suite runs a second time with every hive indexed, so that each
    // load after a restart goes through the index.
    const char* indexed = std::getenv("DSNCONF_TEST_INDEX_EVERY_HIVE");
    if (indexed != nullptr && *indexed == '1') posix::Hive::setIndexThreshold(0);
    posix::resetRegistryForTests();
  }

  void TearDown() override {
    posix::resetRegistryForTests();
    posix::setJournalLimitForTests(posix::Hive::kDefaultJournalLimit);
    posix::Hive::setIndexThreshold(posix::Hive::kDefaultIndexThreshold);
    ::unsetenv("DSNCONF_REGISTRY");
    ::unsetenv("DSNCONF_ELEVATED");
    ::unsetenv("DSNCONF_WOW64");
    std::error_code ignored;
    std::filesystem::permissions(folder_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(folder_, ignored);
  }

  // Starts over as a new process would: the settings and files are read again.
  void restart() { posix::resetRegistryForTests(); }

  // Creates (or opens) the current user's data source Payroll with full access.
  void createUserDsn(ScopedKey& key) {
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, key.out(), nullptr),
              ERROR_SUCCESS);
  }
  static constexpr const char* kPayrollPath = "SOFTWARE\\ODBC\\ODBC.INI\\Payroll";

  std::string machineHive() const { return folder_ + "/HKEY_LOCAL_MACHINE.reg"; }
  std::string userHive() const { return folder_ + "/HKEY_CURRENT_USER.reg"; }

  std::string folder_;
};

}  // namespace dsnconf::test
