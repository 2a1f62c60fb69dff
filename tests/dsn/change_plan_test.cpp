// Plans carried out and taken back: a failure in the last place leaves every
// place as it was (values, keys made, key trees deleted), a key that had to
// be new stops the run, and /whatif's lines name each change.
#include "dsn/change_plan.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "dsn/odbc_ini.h"
#include "registry_fixture.h"
#include "wide_data.h"

namespace dsnconf::test {
namespace {

// Every key below a root in one view with its values: what a run must leave
// as it found it.
using Snapshot = std::map<std::string, std::vector<EnumeratedValue>>;

void snapshotKey(HKEY key, const std::string& path, Snapshot& snapshot) {
  snapshot[path] = enumerate(key);
  for (DWORD index = 0;; ++index) {
    char name[256];
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    ScopedKey subkey;
    ASSERT_EQ(RegOpenKeyExA(key, name, 0, KEY_READ, subkey.out()), ERROR_SUCCESS);
    snapshotKey(subkey.get(), path + "\\" + name, snapshot);
  }
}

Snapshot snapshot(const Place& place) {
  Snapshot result;
  ScopedKey software;
  if (RegOpenKeyExA(place.root, "SOFTWARE", 0, KEY_READ | place.viewFlag, software.out()) ==
      ERROR_SUCCESS) {
    snapshotKey(software.get(), "SOFTWARE", result);
  }
  return result;
}

class ChangePlanTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    // A user data source with a subkey tree, and one in the 64-bit view.
    for (const char* path : {"Payroll", "Payroll\\Engines\\Jet"}) {
      ScopedKey key;
      ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, dsnKeyPath(path).c_str(), 0, nullptr, 0,
                                KEY_ALL_ACCESS, nullptr, key.out(), nullptr),
                ERROR_SUCCESS);
      ASSERT_EQ(setString(key.get(), "Server", path), ERROR_SUCCESS);
      ASSERT_EQ(setString(key.get(), "Port", "5432"), ERROR_SUCCESS);
    }
    ScopedKey machine;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, dsnKeyPath("Sales").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, nullptr, machine.out(), nullptr),
              ERROR_SUCCESS);
  }
};

RegistryValue text(const std::string& name, const std::string& value) {
  return {name, REG_SZ, stringData(value)};
}

TEST_F(ChangePlanTest, AFailureInTheLastPlaceTakesBackEveryPlace) {
  const Snapshot user = snapshot(kUserPlace);
  const Snapshot machine = snapshot(kSystem64Place);
  Plan plan;
  Action creation{&kUserPlace, {}, {}, {}};
  creation.operations = {opCreateNewKey(kUserPlace, dsnKeyPath("Books")),
                         opSetValue(kUserPlace, dsnKeyPath("Books"), text("Driver", "d.dll")),
                         opCreateKey(kUserPlace, kDataSourceListPath),
                         opSetValue(kUserPlace, kDataSourceListPath, text("Books", "Ivorel"))};
  Action change{&kUserPlace, {}, {}, {}};
  change.operations = {opSetValue(kUserPlace, dsnKeyPath("Payroll"), text("Server", "new")),
                       opDeleteValue(kUserPlace, dsnKeyPath("Payroll"), "Port"),
                       opDeleteValue(kUserPlace, dsnKeyPath("Payroll"), "Missing"),
                       opDeleteKeyTree(kUserPlace, dsnKeyPath("Payroll\\Engines"))};
  Action denied{&kSystem64Place, {}, {}, {}};
  denied.operations = {opSetValue(kSystem64Place, dsnKeyPath("Sales"), text("Server", "x"))};
  plan.actions = {creation, change, denied};

  ::setenv("DSNCONF_ELEVATED", "0", 1);
  restart();
  const Outcome outcome = carryOut(plan);
  EXPECT_EQ(outcome.status, ERROR_ACCESS_DENIED);
  EXPECT_EQ(outcome.failedAction, 2u);
  EXPECT_TRUE(outcome.notTakenBack.empty());
  EXPECT_EQ(snapshot(kUserPlace), user);
  restart();
  EXPECT_EQ(snapshot(kUserPlace), user) << "as the hive file holds it";
  EXPECT_EQ(snapshot(kSystem64Place), machine);
}

TEST_F(ChangePlanTest, AKeyThatMustBeNewStopsTheRunAndNothingStays) {
  const Snapshot user = snapshot(kUserPlace);
  Plan plan;
  Action first{&kUserPlace, {}, {}, {}};
  first.operations = {opCreateNewKey(kUserPlace, dsnKeyPath("Books")),
                      opSetValue(kUserPlace, dsnKeyPath("Books"), text("Driver", "d.dll"))};
  Action second{&kUserPlace, {}, {}, {}};
  second.operations = {opCreateNewKey(kUserPlace, dsnKeyPath("PAYROLL"))};
  plan.actions = {first, second};
  const Outcome outcome = carryOut(plan);
  EXPECT_TRUE(outcome.keyTaken);
  EXPECT_FALSE(outcome.succeeded());
  EXPECT_EQ(outcome.failedAction, 1u);
  EXPECT_EQ(snapshot(kUserPlace), user);
}

TEST_F(ChangePlanTest, ARunCarriedOutKeepsEveryChangeAndADeletedTreeIsGone) {
  Plan plan;
  Action change{&kUserPlace, {}, {}, {}};
  change.operations = {opSetValue(kUserPlace, dsnKeyPath("Payroll"), text("Server", "new")),
                       opDeleteKeyTree(kUserPlace, dsnKeyPath("Payroll\\Engines")),
                       opDeleteKeyTree(kUserPlace, dsnKeyPath("Gone"))};
  plan.actions = {change};
  ASSERT_TRUE(carryOut(plan).succeeded()) << "a key already gone is no failure";
  restart();
  const Snapshot user = snapshot(kUserPlace);
  EXPECT_EQ(user.count(dsnKeyPath("Payroll\\Engines")), 0u);
  ASSERT_EQ(user.count(dsnKeyPath("Payroll")), 1u);
  EXPECT_EQ(user.at(dsnKeyPath("Payroll")).front().data, std::string("new\0", 4));
}

TEST(PlanLine, SignPlaceSubjectAndDetail) {
  EXPECT_EQ(planLine('+', kSystem64Place, "DSN Books", "Server = 'db01'"),
            "+ 64-bit system DSN Books: Server = 'db01'");
  EXPECT_EQ(planLine('-', kUserPlace, "DSN Books"), "- user DSN Books");
}

}  // namespace
}  // namespace dsnconf::test
