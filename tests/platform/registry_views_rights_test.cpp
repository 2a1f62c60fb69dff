// Registry views behave as on 64-bit Windows for a 32-bit program (or as on 32-bit Windows with
// DSNCONF_WOW64=0), and rights are granted and checked per handle as Windows does.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

const char* const kDriverRoot = "SOFTWARE\\ODBC\\ODBCINST.INI";
constexpr REGSAM kAll = KEY_ALL_ACCESS;

class RegistryViewTest : public RegistryTest {
 protected:
  LONG create(HKEY root, const char* path, REGSAM sam) {
    ScopedKey key;
    return RegCreateKeyExA(root, path, 0, nullptr, 0, sam, nullptr, key.out(), nullptr);
  }
  LONG open(HKEY root, const char* path, REGSAM sam) {
    ScopedKey key;
    return RegOpenKeyExA(root, path, 0, sam, key.out());
  }
  std::string machineCanonical() {
    std::string canonical;
    std::string error;
    EXPECT_TRUE(posix::canonicalRegText(readFile(machineHive()), canonical, error)) << error;
    return canonical;
  }
};

TEST_F(RegistryViewTest, ThirtyTwoBitViewLivesUnderWow6432Node) {
  ASSERT_EQ(
      create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", kAll | KEY_WOW64_32KEY),
      ERROR_SUCCESS);
  struct Case {
    const char* path;
    REGSAM view;
    LONG result;
  };
  const Case cases[] = {
      {"SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", KEY_WOW64_32KEY, ERROR_SUCCESS},
      {"SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", 0, ERROR_SUCCESS},
      {"SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", KEY_WOW64_64KEY, ERROR_FILE_NOT_FOUND},
      {"SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\Gen3", KEY_WOW64_64KEY, ERROR_SUCCESS},
      {"software\\wow6432node\\ODBC\\ODBCINST.INI\\Gen3", KEY_WOW64_32KEY, ERROR_SUCCESS},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, c.path, KEY_READ | c.view), c.result) << c.path << c.view;
  }
  EXPECT_NE(machineCanonical().find(
                "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\Gen3]"),
            std::string::npos);

  // Keys outside SOFTWARE and the user's tree are the same in both views.
  ASSERT_EQ(create(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", kAll | KEY_WOW64_32KEY), 0);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SYSTEM\\Shared", KEY_READ | KEY_WOW64_64KEY), 0);
  ASSERT_EQ(create(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC", kAll | KEY_WOW64_32KEY), 0);
  EXPECT_EQ(open(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC", KEY_READ | KEY_WOW64_64KEY),
            0);
}

TEST_F(RegistryViewTest, KeysOpenedRelativeToAKeyStayInItsView) {
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY}) {
    ASSERT_EQ(create(HKEY_LOCAL_MACHINE, kDriverRoot, kAll | view), 0);
    ScopedKey driverRoot;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverRoot, 0, kAll | view, driverRoot.out()), 0);
    // Created without a view flag, as the reg command creates the target key.
    ScopedKey target;
    ASSERT_EQ(RegCreateKeyExA(driverRoot.get(), "Gen1", 0, nullptr, 0, KEY_WRITE, nullptr,
                              target.out(), nullptr),
              0);
    ASSERT_EQ(setString(target.get(), "Driver", view == KEY_WOW64_32KEY ? "32" : "64"), 0);
    ScopedKey reopened;
    ASSERT_EQ(RegOpenKeyExA(driverRoot.get(), "Gen1", 0, KEY_READ, reopened.out()), 0);
    std::string value;
    EXPECT_EQ(getString(reopened.get(), "Driver", value), 0);
    EXPECT_EQ(value, view == KEY_WOW64_32KEY ? "32" : "64");
  }
  std::string canonical = machineCanonical();
  EXPECT_NE(canonical.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\Gen1]\n"
                           "\"Driver\"=\"64\""),
            std::string::npos)
      << canonical;
  EXPECT_NE(canonical.find("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\Gen1]\n"
                           "\"Driver\"=\"32\""),
            std::string::npos)
      << canonical;

  // Deleting with the view flag alone removes the key of that view only.
  ScopedKey driverRoot32;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, kDriverRoot, 0, kAll | KEY_WOW64_32KEY, driverRoot32.out()),
      0);
  EXPECT_EQ(RegDeleteKeyExA(driverRoot32.get(), "Gen1", KEY_WOW64_32KEY, 0), 0);
  EXPECT_EQ(
      open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Gen1", KEY_READ | KEY_WOW64_32KEY),
      ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(
      open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Gen1", KEY_READ | KEY_WOW64_64KEY),
      0);
}

TEST_F(RegistryViewTest, WithoutWow64BothFlagsAddressTheOneView) {
  ::setenv("DSNCONF_WOW64", "0", 1);
  restart();
  BOOL wow64 = TRUE;
  EXPECT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_FALSE(wow64);
  ASSERT_EQ(
      create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", kAll | KEY_WOW64_32KEY), 0);
  for (REGSAM view : {KEY_WOW64_32KEY, KEY_WOW64_64KEY, REGSAM{0}}) {
    EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Gen3", KEY_READ | view), 0);
  }
  EXPECT_EQ(machineCanonical().find("WOW6432Node"), std::string::npos);
}

TEST_F(RegistryViewTest, IsWow64ProcessReportsSixtyFourBitWindowsByDefault) {
  BOOL wow64 = FALSE;
  EXPECT_TRUE(IsWow64Process(GetCurrentProcess(), &wow64));
  EXPECT_TRUE(wow64);
  EXPECT_FALSE(IsWow64Process(GetCurrentProcess(), nullptr));
}

class RegistryRightsTest : public RegistryViewTest {
 protected:
  void SetUp() override {
    RegistryViewTest::SetUp();
    // Seed both views and the user's tree as an administrator, then drop the rights.
    writeFile(machineHive(),
              "Windows Registry Editor Version 5.00\n\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Sys]\n\"Driver\"=\"x\"\n"
              "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\Sys32]\n");
    ::setenv("DSNCONF_ELEVATED", "0", 1);
    restart();
  }
};

TEST_F(RegistryRightsTest, MachineTreeIsReadOnlyWithoutElevation) {
  struct Case {
    HKEY root;
    const char* path;
    REGSAM sam;
    LONG result;
  };
  const Case cases[] = {
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", KEY_READ | KEY_WOW64_64KEY, 0},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", kAll | KEY_WOW64_64KEY,
       ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys32", kAll | KEY_WOW64_32KEY,
       ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI", KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS,
       ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys",
       KEY_QUERY_VALUE | DELETE | KEY_WOW64_64KEY, ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", GENERIC_READ | KEY_WOW64_64KEY, 0},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", GENERIC_WRITE | KEY_WOW64_64KEY,
       ERROR_ACCESS_DENIED},
      {HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Nothing", kAll, ERROR_FILE_NOT_FOUND},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(open(c.root, c.path, c.sam), c.result) << c.path << " " << std::hex << c.sam;
  }
  EXPECT_EQ(create(HKEY_LOCAL_MACHINE, "SOFTWARE\\New", KEY_READ), ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      create(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", KEY_WRITE | KEY_WOW64_64KEY),
      ERROR_ACCESS_DENIED);
  EXPECT_EQ(
      RegDeleteKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", KEY_WOW64_64KEY, 0),
      ERROR_ACCESS_DENIED);
  DWORD one = 1;
  EXPECT_EQ(RegSetValueExA(HKEY_LOCAL_MACHINE, "x", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), 4),
            ERROR_ACCESS_DENIED);
  // The user's tree stays fully open.
  EXPECT_EQ(create(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", kAll), 0);
  EXPECT_EQ(RegDeleteKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", 0, 0), 0);
}

TEST_F(RegistryRightsTest, EachCallChecksTheRightsOfItsHandle) {
  ScopedKey readOnly;
  ScopedKey writeOnly;
  ScopedKey setOnly;
  const char* path = "SOFTWARE\\ODBC\\ODBC.INI\\Mine";
  ASSERT_EQ(create(HKEY_CURRENT_USER, path, kAll), 0);
  ASSERT_EQ(create(HKEY_CURRENT_USER, "SOFTWARE\\ODBC\\ODBC.INI\\Mine\\Existing", kAll), 0);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_READ, readOnly.out()), 0);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_WRITE, writeOnly.out()), 0);
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, path, 0, KEY_SET_VALUE, setOnly.out()), 0);

  EXPECT_EQ(setString(readOnly.get(), "v", "1"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(setString(writeOnly.get(), "v", "1"), ERROR_SUCCESS);
  EXPECT_EQ(RegDeleteValueA(readOnly.get(), "v"), ERROR_ACCESS_DENIED);
  std::string value;
  EXPECT_EQ(getString(writeOnly.get(), "v", value), ERROR_ACCESS_DENIED);
  EXPECT_EQ(getString(readOnly.get(), "v", value), ERROR_SUCCESS);
  char name[8];
  DWORD nameLength = sizeof name;
  EXPECT_EQ(
      RegEnumValueA(writeOnly.get(), 0, name, &nameLength, nullptr, nullptr, nullptr, nullptr),
      ERROR_ACCESS_DENIED);

  HKEY child = nullptr;
  EXPECT_EQ(
      RegCreateKeyExA(setOnly.get(), "New", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
      ERROR_ACCESS_DENIED);
  // Opening an existing key needs no right on the key it is named from.
  EXPECT_EQ(
      RegCreateKeyExA(setOnly.get(), "Existing", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(child);
  EXPECT_EQ(
      RegCreateKeyExA(writeOnly.get(), "New", 0, nullptr, 0, KEY_READ, nullptr, &child, nullptr),
      ERROR_SUCCESS);
  RegCloseKey(child);
}

TEST_F(RegistryRightsTest, ElevationFollowsTheEffectiveUserUnlessTheEnvironmentSays) {
  ::unsetenv("DSNCONF_ELEVATED");
  restart();
  EXPECT_EQ(posix::registryConfig().elevated, ::geteuid() == 0);
  ::setenv("DSNCONF_ELEVATED", "1", 1);
  restart();
  EXPECT_TRUE(posix::registryConfig().elevated);
  EXPECT_EQ(open(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\Sys", kAll | KEY_WOW64_64KEY), 0);
}

}  // namespace
}  // namespace dsnconf::test
