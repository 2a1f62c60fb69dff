// remove killed at any point never leaves a list entry whose key is gone: in
// each place the list entry goes first, then the key with its whole tree, and
// what a killed run leaves is removed by running remove again.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "fault_support.h"
#include "sample_registry.h"

namespace dsnconf::test {
namespace {

constexpr const char* kCurrentDriver = "Ivorel ODBC Driver";
constexpr const char* kDsn = "Removed";
// Subkeys under the data source's key, and keys under each of them: every
// key is a deletion of its own, which gives the kills room to land in.
constexpr int kSubkeys = 12;
constexpr int kLeaves = 6;
constexpr unsigned kSeed = 17;

// Every key of a tree by its path below the tree's top ("" for the top), with
// its values.
using KeyTree = std::map<std::string, std::vector<NamedValue>>;

bool readTree(const std::string& path, REGSAM view, KeyTree& tree, const std::string& below = "") {
  if (!readKey(HKEY_LOCAL_MACHINE, path, view, tree[below])) {
    tree.erase(below);
    return false;
  }
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) {
    return false;
  }
  std::vector<std::string> subkeys;
  char name[256];
  for (DWORD index = 0;; ++index) {
    DWORD length = sizeof name;
    if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    subkeys.emplace_back(name, length);
  }
  RegCloseKey(key);
  for (const std::string& subkey : subkeys) {
    readTree(path + "\\" + subkey, view, tree, below + "\\" + subkey);
  }
  return true;
}

std::string dsnKey() {
  return std::string(kOdbcIni) + "\\" + kDsn;
}

LSTATUS setString(HKEY key, const std::string& name, const std::string& data) {
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                        static_cast<DWORD>(data.size() + 1));
}

// The data source in one machine view: its key with Driver and subkeys two
// levels deep, each with a value, and last its list entry.
void addDataSource(const MachineView& view) {
  for (int s = 0; s < kSubkeys; ++s) {
    for (int l = 0; l < kLeaves; ++l) {
      const std::string sub = dsnKey() + "\\Sub" + std::to_string(s);
      const std::string leaf = sub + "\\Leaf" + std::to_string(l);
      for (const std::string& path : {sub, leaf}) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0,
                                  KEY_WRITE | view.flag, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        EXPECT_EQ(setString(key, "Setting", path), ERROR_SUCCESS);
        RegCloseKey(key);
      }
    }
  }
  for (const auto& [path, name, data] :
       {std::tuple{dsnKey(), "Driver", "C:\\ivorel.dll"}, {kDataSourceList, kDsn, kCurrentDriver}}) {
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE | view.flag, &key),
              ERROR_SUCCESS);
    EXPECT_EQ(setString(key, name, data), ERROR_SUCCESS);
    RegCloseKey(key);
  }
}

class RemoveFaults : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.file(name); }

  ProcessResult runRemove(const std::vector<std::string>& places) const {
    std::vector<std::string> arguments = {"remove", "/system"};
    arguments.insert(arguments.end(), places.begin(), places.end());
    arguments.push_back(kDsn);
    return runProcess(DSNCONF_BINARY, arguments, {{"DSNCONF_REGISTRY", path("run")}});
  }

  // Views that still list the data source; in them its tree must be whole.
  std::vector<const MachineView*> listedViews(const std::string& context) const {
    std::vector<const MachineView*> listed;
    useRegistry(path("run"));
    EXPECT_EQ(listedWithoutKey(HKEY_LOCAL_MACHINE), std::vector<std::string>{}) << context;
    EXPECT_EQ(listedWithoutKey(HKEY_CURRENT_USER), std::vector<std::string>{}) << context;
    for (std::size_t v = 0; v < std::size(kMachineViews); ++v) {
      KeyTree tree;
      readTree(dsnKey(), kMachineViews[v].flag, tree);
      if (!isListed(kMachineViews[v], {kDsn, kCurrentDriver}, context)) continue;
      listed.push_back(&kMachineViews[v]);
      EXPECT_TRUE(tree == trees_[v]) << context << ": the " << kMachineViews[v].name
                                     << " list names the data source, whose tree holds "
                                     << tree.size() << " of its " << trees_[v].size() << " keys";
    }
    posix::resetRegistryForTests();
    return listed;
  }

  bool keyInAnyView() const {
    useRegistry(path("run"));
    bool found = false;
    for (const MachineView& view : kMachineViews) {
      KeyTree tree;
      found = readTree(dsnKey(), view.flag, tree) || found;
    }
    posix::resetRegistryForTests();
    return found;
  }

  // What a killed run left; then remove again, in each view that still lists
  // the data source, takes it out of every list. True when the kill landed
  // inside the writes.
  bool checkRound(const std::string& context) const {
    const std::vector<const MachineView*> listed = listedViews(context);
    const bool inside = listed.size() != std::size(kMachineViews) && keyInAnyView();
    expectViewAllReads(path("run"), context);
    for (const MachineView* view : listed) {
      const ProcessResult again = runRemove({view->word});
      EXPECT_EQ(again.exitStatus, 0) << context << ": " << again.out;
    }
    EXPECT_EQ(listedViews(context + ", removed again"), std::vector<const MachineView*>{});
    return inside;
  }

  TempFolder folder_;
  KeyTree trees_[std::size(kMachineViews)];
  std::mt19937 random_{kSeed};
};

TEST_F(RemoveFaults, KilledRemoveNeverLeavesAListEntryWithoutItsKey) {
  bench::SampleLayout layout;
  layout.dataSources = 30;
  bench::writeSample(layout, path("sample"));
  const std::string master = path("sample/registry");
  useRegistry(master);
  for (std::size_t v = 0; v < std::size(kMachineViews); ++v) {
    addDataSource(kMachineViews[v]);
    ASSERT_TRUE(readTree(dsnKey(), kMachineViews[v].flag, trees_[v]));
    ASSERT_EQ(trees_[v].size(), 1u + kSubkeys * (1 + kLeaves));
  }
  posix::resetRegistryForTests();

  // A whole run removes it from both views.
  copyFolder(master, path("run"));
  const ProcessResult whole = runRemove({});
  ASSERT_EQ(whole.exitStatus, 0) << whole.out << whole.err;
  ASSERT_EQ(listedViews("the whole run"), std::vector<const MachineView*>{});
  ASSERT_FALSE(keyInAnyView());

  const KillPlan plan;
  const std::vector<std::string> command = {"remove", "/system", kDsn};
  const int interrupted =
      runKillRounds(command, master, path("run"), path("out"), random_, plan,
                    [this](const std::string& context) { return checkRound(context); });
  // The kills did land inside the run, not only before or after it.
  EXPECT_GE(interrupted, plan.wanted) << "of up to " << plan.maxRounds << " rounds";
}

}  // namespace
}  // namespace dsnconf::test
