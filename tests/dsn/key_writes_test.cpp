// Making and unmaking a data source's keys: the places a command line names,
// the deletion of a key with everything below it in one view, and how a
// data source's list entry and key are found.
#include "dsn/key_writes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dsn/odbc_ini.h"
#include "dsn/places.h"
#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

constexpr const char* kOdbcIni = "SOFTWARE\\ODBC\\ODBC.INI";

class RegistryEditTest : public RegistryTest {
 protected:
  static void create(HKEY root, const std::string& path, REGSAM view) {
    ScopedKey key;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS | view, nullptr,
                              key.out(), nullptr),
              ERROR_SUCCESS)
        << path;
    ASSERT_EQ(setString(key.get(), "Value", path), ERROR_SUCCESS);
  }

  static bool exists(HKEY root, const std::string& path, REGSAM view) {
    ScopedKey key;
    return RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, key.out()) == ERROR_SUCCESS;
  }

  static std::string dsn(const std::string& name) { return std::string(kOdbcIni) + "\\" + name; }
};

TEST_F(RegistryEditTest, ChosenPlacesFollowTheScopeTheViewWordAndTheViewsThereAre) {
  struct Case {
    bool twoViews;
    PlaceChoice choice;
    std::vector<const Place*> places;
    const char* label;
  };
  const Case cases[] = {
      {true, {Scope::User, MachineView::None}, {&kUserPlace}, "user DSN"},
      {true, {Scope::User, MachineView::Bit32}, {&kUserPlace}, "user DSN"},
      {true, {Scope::System, MachineView::None}, {&kSystem64Place, &kSystem32Place}, "system DSN"},
      {true, {Scope::System, MachineView::Bit64}, {&kSystem64Place}, "64-bit system DSN"},
      {true, {Scope::System, MachineView::Bit32}, {&kSystem32Place}, "32-bit system DSN"},
      {false, {Scope::System, MachineView::None}, {&kSystem32Place}, "system DSN"},
      {false, {Scope::System, MachineView::Bit64}, {&kSystem32Place}, "32-bit system DSN"},
      {false, {Scope::System, MachineView::Bit32}, {&kSystem32Place}, "32-bit system DSN"},
  };
  for (const Case& c : cases) {
    if (c.twoViews) {
      ::unsetenv("DSNCONF_WOW64");
    } else {
      ::setenv("DSNCONF_WOW64", "0", 1);
    }
    restart();
    const std::string context = std::string(c.label) + (c.twoViews ? ", two views" : ", one view");
    EXPECT_EQ(chosenPlaces(c.choice), c.places) << context;
    EXPECT_EQ(choiceDsnLabel(c.choice), c.label) << context;
  }
}

TEST_F(RegistryEditTest, DeleteKeyTreeTakesEveryKeyBelowInItsViewOnly) {
  for (const char* path :
       {"Payroll", "Payroll\\Options", "Payroll\\Options\\Deeper",
        "Payroll\\Options\\Deeper\\Deepest", "Payroll\\b", "Payroll\\A", "Payroll2", "Sales"}) {
    create(HKEY_LOCAL_MACHINE, dsn(path), KEY_WOW64_32KEY);
  }
  create(HKEY_LOCAL_MACHINE, dsn("Payroll\\Options"), KEY_WOW64_64KEY);

  EXPECT_EQ(deleteKeyTree(HKEY_LOCAL_MACHINE, dsn("PAYROLL"), KEY_WOW64_32KEY), ERROR_SUCCESS);
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll"), KEY_WOW64_32KEY));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll2"), KEY_WOW64_32KEY));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, dsn("Sales"), KEY_WOW64_32KEY));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll\\Options"), KEY_WOW64_64KEY));
  restart();
  EXPECT_FALSE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll"), KEY_WOW64_32KEY));
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll\\Options"), KEY_WOW64_64KEY));

  EXPECT_EQ(deleteKeyTree(HKEY_LOCAL_MACHINE, dsn("Payroll"), KEY_WOW64_32KEY),
            ERROR_FILE_NOT_FOUND);
}

TEST_F(RegistryEditTest, DeleteKeyTreeAsAStandardUserDeletesNothing) {
  create(HKEY_LOCAL_MACHINE, dsn("Payroll\\Options"), KEY_WOW64_64KEY);
  ::setenv("DSNCONF_ELEVATED", "0", 1);
  restart();
  EXPECT_EQ(deleteKeyTree(HKEY_LOCAL_MACHINE, dsn("Payroll"), KEY_WOW64_64KEY),
            ERROR_ACCESS_DENIED);
  EXPECT_TRUE(exists(HKEY_LOCAL_MACHINE, dsn("Payroll\\Options"), KEY_WOW64_64KEY));
}

TEST_F(RegistryEditTest, ListEntriesAndKeysAreFoundAsTheRegistryComparesNames) {
  create(HKEY_LOCAL_MACHINE, dsn("Sales"), KEY_WOW64_64KEY);
  {
    ScopedKey list;
    ASSERT_EQ(
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", 0,
                        nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, list.out(), nullptr),
        ERROR_SUCCESS);
    ASSERT_EQ(setString(list.get(), "Sales", "Ivorel ODBC Driver"), ERROR_SUCCESS);
    const DWORD one = 1;
    ASSERT_EQ(RegSetValueExA(list.get(), "Numbered", 0, REG_DWORD,
                             reinterpret_cast<const BYTE*>(&one), sizeof one),
              ERROR_SUCCESS);
  }
  std::optional<RegistryValue> entry;
  ASSERT_EQ(readListEntry(kSystem64Place, "SALES", entry), ERROR_SUCCESS);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(entry->text(), "Ivorel ODBC Driver");
  ASSERT_EQ(readListEntry(kSystem64Place, "numbered", entry), ERROR_SUCCESS);
  ASSERT_TRUE(entry.has_value());
  EXPECT_EQ(entry->type, static_cast<DWORD>(REG_DWORD));
  ASSERT_EQ(readListEntry(kSystem32Place, "Sales", entry), ERROR_SUCCESS);
  EXPECT_FALSE(entry.has_value()) << "the 32-bit view has no list";

  bool hasKey = false;
  ASSERT_EQ(dsnKeyExists(kSystem64Place, "sales", hasKey), ERROR_SUCCESS);
  EXPECT_TRUE(hasKey);
  ASSERT_EQ(dsnKeyExists(kSystem32Place, "Sales", hasKey), ERROR_SUCCESS);
  EXPECT_FALSE(hasKey);
}

}  // namespace
}  // namespace dsnconf::test
