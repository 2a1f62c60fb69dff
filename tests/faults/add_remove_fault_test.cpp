// add killed at any point never leaves a listed data source without its key,
// and add that fails in its second place takes back what it made in the first.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "registry/tree/tree_text.h"
#include "sample_registry.h"
#include "tmpfs_support.h"

namespace dsnconf::test {
namespace {

constexpr const char* kListPath = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kOdbcIni = "SOFTWARE\\ODBC\\ODBC.INI";
constexpr const char* kCurrentDriver = "Ivorel ODBC Driver";
constexpr const char* kNewDsn = "Killed";
constexpr std::size_t kProperties = 200;
constexpr unsigned kSeed = 13;

struct View {
  REGSAM flag;
  const char* name;
};
const View kViews[] = {{KEY_WOW64_64KEY, "64-bit"}, {KEY_WOW64_32KEY, "32-bit"}};

std::string canonicalHive(const std::string& path) {
  std::string canonical;
  std::string error;
  EXPECT_TRUE(posix::canonicalRegText(readFile(path), canonical, error)) << path << ": " << error;
  return canonical;
}

// Every list entry of the root in both views whose data source has no key,
// as "view: name".
std::vector<std::string> listedWithoutKey(HKEY root) {
  std::vector<std::string> missing;
  for (const View& view : kViews) {
    std::vector<NamedValue> entries;
    if (!readKey(root, kListPath, view.flag, entries)) continue;
    for (const NamedValue& entry : entries) {
      std::vector<NamedValue> values;
      if (!readKey(root, std::string(kOdbcIni) + "\\" + entry.name, view.flag, values)) {
        missing.push_back(std::string(view.name) + ": " + entry.name);
      }
    }
  }
  return missing;
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
  std::vector<NamedValue> properties;
  for (std::size_t i = 0; i < kProperties; ++i) {
    properties.push_back({"P" + std::to_string(i), "value " + std::to_string(i)});
    command.push_back(properties.back().name + "=" + properties.back().data);
  }
  // The sample's registrations name their file in another value; give them
  // the Driver value a data source is made from.
  useRegistry(master);
  ASSERT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{});
  const std::vector<std::string> driverFiles = {"C:\\ivorel.dll", "C:\\ivorel32.dll"};
  for (std::size_t v = 0; v < std::size(kViews); ++v) {
    HKEY key = nullptr;
    ASSERT_EQ(
        RegOpenKeyExA(HKEY_LOCAL_MACHINE,
                      (std::string("SOFTWARE\\ODBC\\ODBCINST.INI\\") + kCurrentDriver).c_str(), 0,
                      KEY_SET_VALUE | kViews[v].flag, &key),
        ERROR_SUCCESS);
    const std::string& file = driverFiles[v];
    EXPECT_EQ(RegSetValueExA(key, "Driver", 0, REG_SZ, reinterpret_cast<const BYTE*>(file.c_str()),
                             static_cast<DWORD>(file.size() + 1)),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  posix::resetRegistryForTests();
  copyFolder(master, run);
  double duration = timeRun(command, run, path("out"));
  ASSERT_EQ(readFile(path("out")),
            "Created the 64-bit system DSN Killed for 'Ivorel ODBC Driver'.\n"
            "Created the 32-bit system DSN Killed for 'Ivorel ODBC Driver'.\n");
  posix::resetRegistryForTests();

  // Rounds go on past kRounds, up to kMaxRounds, until kills have landed
  // inside the writes often enough: on a busy machine many land before the
  // program reaches them or after it is done.
  constexpr int kRounds = 40;
  constexpr int kMaxRounds = 200;
  constexpr int kWantedInterruptions = 3;
  int interrupted = 0;
  for (int round = 0; round < kMaxRounds; ++round) {
    if (round >= kRounds && interrupted >= kWantedInterruptions) break;
    // Timed again each round: on a busy machine one run's time says little
    // about the next, and kills must land inside the writes.
    copyFolder(master, run);
    duration = timeRun(command, run, path("out"));
    posix::resetRegistryForTests();
    copyFolder(master, run);
    const double fraction =
        (round % kRounds + std::uniform_real_distribution<>(0, 1)(random_)) / kRounds;
    Child child(command, run, path("out"));
    ::usleep(static_cast<useconds_t>(fraction * 1.1 * duration * 1e6));
    child.kill();
    child.wait();
    const std::string context = "round " + std::to_string(round);
    for (const char* hive : {"HKEY_LOCAL_MACHINE.reg", "HKEY_CURRENT_USER.reg"}) {
      canonicalHive(run + "/" + hive);
    }

    // In each view the new key holds Driver and then the first properties,
    // and the list names it only once it holds them all; the 32-bit view is
    // begun only once the 64-bit one is done.
    useRegistry(run);
    EXPECT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{}) << context;
    std::vector<int> progress;  // per view: -1 no key, else values written, +1 with the entry
    for (std::size_t v = 0; v < std::size(kViews); ++v) {
      std::vector<NamedValue> written;
      std::vector<NamedValue> list;
      const bool hasKey = readKey(HKEY_LOCAL_MACHINE, std::string(kOdbcIni) + "\\" + kNewDsn,
                                  kViews[v].flag, written);
      ASSERT_TRUE(readKey(HKEY_LOCAL_MACHINE, kListPath, kViews[v].flag, list)) << context;
      const bool listed =
          std::find(list.begin(), list.end(), NamedValue{kNewDsn, kCurrentDriver}) != list.end();
      std::vector<NamedValue> expected = {{"Driver", driverFiles[v]}};
      expected.insert(expected.end(), properties.begin(), properties.end());
      ASSERT_LE(written.size(), expected.size()) << context;
      EXPECT_TRUE(std::equal(written.begin(), written.end(), expected.begin())) << context;
      EXPECT_TRUE(!listed || written.size() == expected.size()) << context;
      progress.push_back(!hasKey ? -1 : static_cast<int>(written.size()) + (listed ? 1 : 0));
    }
    posix::resetRegistryForTests();
    const int complete = static_cast<int>(kProperties) + 2;
    EXPECT_TRUE(progress[1] == -1 || progress[0] == complete) << context;
    if (progress[0] != -1 && progress[1] != complete) ++interrupted;

    // What a killed run left is no obstacle to the program's own repair.
    if (progress[0] != -1 && progress[1] != complete) {
      const ProcessResult view =
          runProcess(DSNCONF_BINARY, {"view", "/all"}, {{"DSNCONF_REGISTRY", run}});
      EXPECT_EQ(view.exitStatus, 0) << context;
      EXPECT_EQ(view.err, "") << context;
    }
  }
  // The kills did land inside the run, not only before or after it.
  EXPECT_GE(interrupted, kWantedInterruptions) << "of " << kMaxRounds << " rounds";
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
