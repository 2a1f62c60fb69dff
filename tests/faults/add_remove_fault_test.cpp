// add killed at any point never leaves a listed data source without its key,
// and add that fails in its second place takes back what it made in the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "sample_registry.h"
#include "tmpfs_support.h"

namespace dsnconf::test {
namespace {

constexpr const char* kCurrentDriver = "Ivorel ODBC Driver";
constexpr const char* kNewDsn = "Killed";
constexpr std::size_t kProperties = 200;
constexpr unsigned kSeed = 13;

// The registration's file in each view, which add writes as Driver.
const char* const kDriverFiles[] = {"C:\\ivorel.dll", "C:\\ivorel32.dll"};

std::vector<NamedValue> addedProperties() {
  std::vector<NamedValue> properties;
  for (std::size_t i = 0; i < kProperties; ++i) {
    properties.push_back({"P" + std::to_string(i), "value " + std::to_string(i)});
  }
  return properties;
}

// In each view the new key holds Driver and then the first properties, and
// the list names it only once it holds them all; the 32-bit view is begun
// only once the 64-bit one is done. True when the kill landed inside.
bool checkAddRound(const std::string& run, const std::string& context) {
  useRegistry(run);
  EXPECT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{}) << context;
  std::vector<int> progress;  // per view: -1 no key, else values written, +1 with the entry
  for (std::size_t v = 0; v < std::size(kMachineViews); ++v) {
    std::vector<NamedValue> written;
    const bool hasKey = readKey(HKEY_LOCAL_MACHINE, std::string(kOdbcIni) + "\\" + kNewDsn,
                                kMachineViews[v].flag, written);
    const bool listed = isListed(kMachineViews[v], {kNewDsn, kCurrentDriver}, context);
    std::vector<NamedValue> expected = {{"Driver", kDriverFiles[v]}};
    const std::vector<NamedValue> properties = addedProperties();
    expected.insert(expected.end(), properties.begin(), properties.end());
    EXPECT_LE(written.size(), expected.size()) << context;
    written.resize(std::min(written.size(), expected.size()));
    EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin())) << context;
    EXPECT_TRUE(!listed || written.size() == expected.size()) << context;
    progress.push_back(!hasKey ? -1 : static_cast<int>(written.size()) + (listed ? 1 : 0));
  }
  posix::resetRegistryForTests();
  const int complete = static_cast<int>(kProperties) + 2;
  EXPECT_TRUE(progress[1] == -1 || progress[0] == complete) << context;
  const bool inside = progress[0] != -1 && progress[1] != complete;
  // What a killed run left is no obstacle to the program's own repair.
  if (inside) expectViewAllReads(run, context);
  return inside;
}

class AddRemoveFaults : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.file(name); }
  TempFolder folder_;
  std::mt19937 random_{kSeed};
};

TEST_F(AddRemoveFaults, KilledAddNeverLeavesAListedDataSourceWithoutItsKey) {
  bench::SampleLayout layout;
  layout.dataSources = 30;
  bench::writeSample(layout, path("sample"));
  const std::string master = path("sample/registry");
  const std::string run = path("run");

  std::vector<std::string> command = {"add", "/system", kNewDsn, "GEN3"};
  for (const NamedValue& property : addedProperties()) {
    command.push_back(property.name + "=" + property.data);
  }
  // The sample's registrations name their file in another value; give them
  // the Driver value a data source is made from.
  useRegistry(master);
  ASSERT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{});
  for (std::size_t v = 0; v < std::size(kMachineViews); ++v) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      (std::string("SOFTWARE\\ODBC\\ODBCINST.INI\\") + kCurrentDriver).c_str(), 0,
                      KEY_SET_VALUE | kMachineViews[v].flag, &key),
        ERROR_SUCCESS);
    const std::string file = kDriverFiles[v];
    EXPECT_EQ(RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                             static_cast<DWORD>(file.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  posix::resetRegistryForTests();
  copyFolder(master, run);
  Child(command, run, path("out")).wait();
  ASSERT_EQ(readFile(path("out")),
            "Created the 64-bit system DSN Killed for 'Ivorel ODBC Driver'.\n"
            "Created the 32-bit system DSN Killed for 'Ivorel ODBC Driver'.\n");
  posix::resetRegistryForTests();

  const KillPlan plan;
  const int interrupted =
      runKillRounds(command, master, run, path("out"), random_, plan,
                    [&](const std::string& context) { return checkAddRound(run, context); });
  // The kills did land inside the run, not only before or after it.
  EXPECT_GE(interrupted, plan.wanted) << "of up to " << plan.maxRounds << " rounds";
}

const char* const kRegistrations =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\Ivorel ODBC Driver]\n"
    "\"Driver\"=\"C:\\\\ivorel.dll\"\n\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBCINST.INI\\Ivorel ODBC Driver]\n"
    "\"Driver\"=\"C:\\\\ivorel32.dll\"\n\n";

// The disk has room for what add writes in the 64-bit view and for the small
// entries that take it back, but not for the long value in the 32-bit view.
TEST_F(AddRemoveFaults, AddThatFailsInTheSecondViewTakesBackTheFirst) {
  const std::string mountPoint = path("mount");
  TmpfsMount mount(mountPoint, "256k");
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  const std::string registry = mountPoint + "/registry";
  const std::string hive = registry + "/HKEY_LOCAL_MACHINE.reg";
  std::filesystem::create_directories(registry);

  // Long enough that the entries of the run never make the store rewrite the
  // file, short of the size that gets an index; its last block is full.
  std::string text = std::string(kRegistrations) + "; " + std::string(40000, '-') + "\n";
  text += "; " + std::string(kBlockSize - (text.size() + 3) % kBlockSize, '-') + "\n";
  ASSERT_EQ(text.size() % kBlockSize, 0u);
  writeFile(hive, text);
  writeFile(hive + ".lock", "");
  const std::string before = canonicalHive(hive);

  const std::string filler = mountPoint + "/filler";
  fillUp(filler);
  std::filesystem::resize_file(filler, std::filesystem::file_size(filler) - 3 * kBlockSize);

  const std::string longValue(8192, 'v');
  const ProcessResult result =
      runProcess(DSNCONF_BINARY, {"add", "/system", "Payroll", "Notes=" + longValue},
                 {{"DSNCONF_REGISTRY", registry}});
  EXPECT_EQ(result.exitStatus, 1);
  EXPECT_EQ(result.err, "");
  EXPECT_NE(result.out.find(" while creating the 32-bit system DSN Payroll ***\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Created"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("taking back"), std::string::npos) << result.out;
  EXPECT_EQ(canonicalHive(hive), before);
  EXPECT_GT(readFile(hive).size(), text.size()) << "the 64-bit view was written before";
}

}  // namespace
}  // namespace dsnconf::test
