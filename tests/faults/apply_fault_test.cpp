// apply killed at any point never leaves a listed data source without its
// key, and the same file applied again completes what the killed run began:
// one more run after that has nothing to change.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "sample_registry.h"

namespace dsnconf::test {
namespace {

constexpr int kNewDataSources = 30;
constexpr unsigned kSeed = 23;

// New system data sources in both views, each with properties and a subkey,
// so that the plan creates many keys; /prune also removes the sample's
// family data sources of the machine views, which the file does not list.
std::string desiredState() {
  std::string document = "{\"dataSources\": [";
  for (int i = 0; i < kNewDataSources; ++i) {
    if (i != 0) document += ",";
    document += "{\"name\": \"New" + std::to_string(i) +
                "\", \"scope\": \"system\", \"driver\": \"GEN3\", \"properties\": {";
    for (int p = 0; p < 8; ++p) {
      document += (p == 0 ? "" : ", ") + ("\"P" + std::to_string(p) + "\": \"value\"");
    }
    document += "}, \"subkeys\": [{\"path\": \"Options\", \"values\": {\"A\": \"1\"}}]}";
  }
  return document + "]}";
}

class ApplyFaults : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.file(name); }

  ProcessResult apply() const {
    return runProcess(DSNCONF_BINARY, {"apply", path("desired.json"), "/prune"},
                      {{"DSNCONF_REGISTRY", path("run")}});
  }

  // What a killed run left: no list names a missing key, view /all reads it,
  // and the file applied again completes the change. True when the kill
  // landed inside the writes: the run again had something left to do.
  bool checkRound(const std::string& context) const {
    useRegistry(path("run"));
    EXPECT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{}) << context;
    posix::resetRegistryForTests();
    expectViewAllReads(path("run"), context);
    const ProcessResult again = apply();
    EXPECT_EQ(again.exitStatus, 0) << context << ": " << again.out;
    const ProcessResult last = apply();
    EXPECT_EQ(last.out, "Nothing to change.\n") << context;
    return again.out != full_.out && again.out != "Nothing to change.\n";
  }

  TempFolder folder_;
  ProcessResult full_;
  std::mt19937 random_{kSeed};
};

TEST_F(ApplyFaults, KilledApplyNeverLeavesAListedDataSourceWithoutItsKey) {
  bench::SampleLayout layout;
  layout.dataSources = 30;
  bench::writeSample(layout, path("sample"));
  const std::string master = path("sample/registry");
  // The sample's registrations name their file in another value; give them
  // the Driver value a data source is made from.
  useRegistry(master);
  for (const MachineView& view : kMachineViews) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\Ivorel ODBC Driver",
                            0, KEY_SET_VALUE | view.flag, &key),
              ERROR_SUCCESS);
    const std::string file = std::string("C:\\ivorel") + view.name + ".dll";
    EXPECT_EQ(RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                             static_cast<DWORD>(file.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  posix::resetRegistryForTests();
  writeFile(path("desired.json"), desiredState());

  // A whole run, and a second one with nothing to do.
  copyFolder(master, path("run"));
  full_ = apply();
  ASSERT_EQ(full_.exitStatus, 0) << full_.out;
  ASSERT_EQ(apply().out, "Nothing to change.\n");

  const KillPlan plan;
  const std::vector<std::string> command = {"apply", path("desired.json"), "/prune"};
  const int interrupted =
      runKillRounds(command, master, path("run"), path("out"), random_, plan,
                    [this](const std::string& context) { return checkRound(context); });
  EXPECT_GE(interrupted, plan.wanted) << "of up to " << plan.maxRounds << " rounds";
}

}  // namespace
}  // namespace dsnconf::test
