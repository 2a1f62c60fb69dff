// The program killed (SIGKILL) at any point of a command that makes many
// changes leaves hive files that load, in which each change is there or not.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "fault_support.h"
#include "registry/text/journal.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/tree_text.h"
#include "sample_registry.h"

namespace dsnconf::test {
namespace {

constexpr const char* kListPath = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kCurrentDriver = "Ivorel ODBC Driver";
constexpr const char* kNewDriver = "Sarvonet ODBC Driver";
constexpr const char* kEarlierDriver = "Brenmoor ODBC Driver (32-bit)";
constexpr unsigned kSeed = 7;

struct ListPlace {
  HKEY root;
  REGSAM view;
};
const ListPlace kListPlaces[] = {
    {HKEY_CURRENT_USER, 0},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY},
};

const char* const kHives[] = {"HKEY_LOCAL_MACHINE.reg", "HKEY_CURRENT_USER.reg"};

std::string canonicalHive(const std::string& path) {
  std::string canonical;
  std::string error;
  EXPECT_TRUE(posix::canonicalRegText(readFile(path), canonical, error)) << path << ": " << error;
  return canonical;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

// Journal entries that set one value again and again, as long as the rest of
// the hive: the next change makes the store rewrite the whole file.
void fillJournal(const std::string& hivePath, const std::string& root) {
  std::string text = readFile(hivePath);
  const std::size_t base = text.size();
  std::string body = "[" + root + "\\SOFTWARE\\Padding]\n";
  posix::appendValueLine(body, "Pad", REG_SZ, std::string(900, 'p') + '\0');
  const std::string entry = posix::journalEntry(body);
  while (text.size() < 2 * base + entry.size()) text += entry;
  writeFile(hivePath, text);
}

// The program can read the registry that a killed run left.
void expectProgramReads(const std::string& registry, const std::string& context) {
  const ProcessResult view =
      runProcess(DSNCONF_BINARY, {"view", "/all"}, {{"DSNCONF_REGISTRY", registry}});
  EXPECT_EQ(view.exitStatus, 0) << context;
  EXPECT_EQ(view.err, "") << context;
  EXPECT_NE(view.out.find("DSN properties for"), std::string::npos) << context;
}

class CrashSafety : public ::testing::Test {
 protected:
  std::string path(const std::string& name) const { return folder_.file(name); }
  TempFolder folder_;
  std::mt19937 random_{kSeed};
};

TEST_F(CrashSafety, KilledNameAllLeavesEveryEntryOldOrNew) {
  bench::SampleLayout layout;
  layout.dataSources = 2000;
  bench::writeSample(layout, path("sample"));
  const std::string master = path("sample/registry");
  const std::string filled = path("filled");
  copyFolder(master, filled);
  fillJournal(filled + "/HKEY_LOCAL_MACHINE.reg", "HKEY_LOCAL_MACHINE");
  fillJournal(filled + "/HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER");

  const std::vector<std::string> command = {"name", "/all", "GEN2"};
  const std::string run = path("run");
  constexpr int kRounds = 16;
  int interrupted = 0;
  for (int round = 0; round < kRounds; ++round) {
    // Half the rounds start with a full journal, so that the first change
    // rewrites the whole file and a kill may cut the rewrite short.
    const std::string& start = round % 2 == 0 ? master : filled;
    copyFolder(start, run);
    const double duration = timeRun(command, run, path("out"));
    copyFolder(start, run);
    std::vector<std::string> before;
    for (const char* hive : kHives) before.push_back(canonicalHive(run + "/" + hive));

    // Kill times spread over the whole run, one stratum per round pair.
    const double fraction =
        (round / 2 + std::uniform_real_distribution<>(0, 1)(random_)) / (kRounds / 2);
    Child child(command, run, path("out"));
    ::usleep(static_cast<useconds_t>(fraction * 1.1 * duration * 1e6));
    child.kill();
    child.wait();
    const std::string context = "round " + std::to_string(round);

    // Loads, and differs from the start only in list entries now naming the
    // new driver.
    for (std::size_t i = 0; i < std::size(kHives); ++i) {
      const std::string after = canonicalHive(run + "/" + kHives[i]);
      EXPECT_EQ(replaceAll(after, std::string("\"=\"") + kNewDriver + "\"",
                           std::string("\"=\"") + kCurrentDriver + "\""),
                before[i])
          << context << " " << kHives[i];
    }
    expectProgramReads(run, context);

    // The entries are changed in the order they are walked: what was
    // changed is a prefix of the family's entries.
    useRegistry(run);
    std::vector<bool> changed;
    for (const ListPlace& place : kListPlaces) {
      std::vector<NamedValue> entries;
      ASSERT_TRUE(readKey(place.root, kListPath, place.view, entries)) << context;
      for (const NamedValue& entry : entries) {
        if (entry.data == kCurrentDriver || entry.data == kNewDriver) {
          changed.push_back(entry.data == kNewDriver);
        }
      }
    }
    posix::resetRegistryForTests();
    ASSERT_EQ(changed.size(), 1800u) << context;
    const auto firstOld = std::find(changed.begin(), changed.end(), false);
    EXPECT_EQ(std::find(firstOld, changed.end(), true), changed.end())
        << context << ": an entry was changed after one that was not";
    const auto count = static_cast<std::size_t>(firstOld - changed.begin());
    if (count > 0 && count < changed.size()) ++interrupted;
  }
  // The kills did land inside the walk, not only before or after it.
  EXPECT_GE(interrupted, 3) << "of " << kRounds << " rounds";
}

TEST_F(CrashSafety, KilledRegAddLeavesAPrefixOfTheValuesAndTheEntryLast) {
  bench::SampleLayout layout;
  layout.dataSources = 30;
  bench::writeSample(layout, path("sample"));
  const std::string master = path("sample/registry");
  const std::string run = path("run");
  const std::vector<std::string> command = {"reg", "/add", "GEN1"};
  copyFolder(master, run);
  const double duration = timeRun(command, run, path("out"));

  struct View {
    REGSAM flag;
    std::vector<NamedValue> source;
  };
  std::vector<View> views = {{KEY_WOW64_32KEY, {}}, {KEY_WOW64_64KEY, {}}};
  useRegistry(master);
  for (View& view : views) {
    ASSERT_TRUE(readKey(HKEY_LOCAL_MACHINE,
                        std::string("SOFTWARE\\ODBC\\ODBCINST.INI\\") + kCurrentDriver, view.flag,
                        view.source));
    ASSERT_EQ(view.source.size(), layout.valuesPerKey);
  }
  posix::resetRegistryForTests();

  constexpr int kRounds = 60;
  int interrupted = 0;
  for (int round = 0; round < kRounds; ++round) {
    copyFolder(master, run);
    const double fraction = (round + std::uniform_real_distribution<>(0, 1)(random_)) / kRounds;
    Child child(command, run, path("out"));
    ::usleep(static_cast<useconds_t>(fraction * 1.1 * duration * 1e6));
    child.kill();
    child.wait();
    const std::string context = "round " + std::to_string(round);
    for (const char* hive : kHives) canonicalHive(run + "/" + hive);
    expectProgramReads(run, context);

    // In each view the new key holds the first values of the source key,
    // and the driver list names it only once it holds them all; the 32-bit
    // view is done before the 64-bit one is begun.
    useRegistry(run);
    std::vector<int> progress;  // per view: -1 no key, else values copied, +1 with the entry
    for (const View& view : views) {
      std::vector<NamedValue> target;
      std::vector<NamedValue> list;
      const bool hasKey = readKey(HKEY_LOCAL_MACHINE,
                                  std::string("SOFTWARE\\ODBC\\ODBCINST.INI\\") + kEarlierDriver,
                                  view.flag, target);
      ASSERT_TRUE(readKey(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers",
                          view.flag, list));
      const bool listed = std::find(list.begin(), list.end(),
                                    NamedValue{kEarlierDriver, "Installed"}) != list.end();
      ASSERT_LE(target.size(), view.source.size()) << context;
      EXPECT_TRUE(std::equal(target.begin(), target.end(), view.source.begin())) << context;
      EXPECT_TRUE(!listed || target.size() == view.source.size()) << context;
      EXPECT_TRUE(hasKey || !listed) << context;
      progress.push_back(!hasKey ? -1 : static_cast<int>(target.size()) + (listed ? 1 : 0));
    }
    posix::resetRegistryForTests();
    const int complete = static_cast<int>(layout.valuesPerKey) + 1;
    EXPECT_TRUE(progress[1] == -1 || progress[0] == complete) << context;
    if (progress[0] != complete || progress[1] != complete) {
      if (progress[0] != -1) ++interrupted;
    }
  }
  EXPECT_GE(interrupted, 1) << "of " << kRounds << " rounds";
}

}  // namespace
}  // namespace dsnconf::test
