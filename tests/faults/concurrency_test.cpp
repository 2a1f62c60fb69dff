// Processes changing one data source at once lose none of each other's changes.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "fault_support.h"
#include "registry/store/hive.h"
#include "registry/text/journal.h"
#include "registry/text/reg_writer.h"

namespace dsnconf::test {
namespace {

constexpr int kWriters = 8;
constexpr int kChangesEach = 50;
constexpr const char* kDsnPath = "SOFTWARE\\ODBC\\ODBC.INI\\Shared";

std::string propertyName(int writer, int change) {
  return "P" + std::to_string(writer) + "_" + std::to_string(change);
}

std::string propertyValue(int writer, int change) {
  return "value " + std::to_string(change) + " of writer " + std::to_string(writer);
}

// One writer: its own properties, each set once, and one property of its own
// set again after each of them to the number of changes made so far.
[[noreturn]] void runWriter(int writer, const std::string& registry) {
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", registry}};
  const std::string last = "Last" + std::to_string(writer);
  for (int change = 0; change < kChangesEach; ++change) {
    const std::string name = propertyName(writer, change);
    for (const auto& [property, value] : {std::pair{name, propertyValue(writer, change)},
                                          std::pair{last, std::to_string(change)}}) {
      const ProcessResult set =
          runProcess(DSNCONF_BINARY, {"set", "/dsn", "Shared", property, value}, environment);
      if (set.exitStatus != 0 || set.out != "Property " + property + " set.\n") ::_exit(1);
    }
  }
  ::_exit(0);
}

TEST(Concurrency, WritersOfOneDataSourceLoseNoChange) {
  const TempFolder folder;
  const std::string registry = folder.file("registry");
  std::filesystem::create_directories(registry);
  std::string hive =
      "Windows Registry Editor Version 5.00\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n"
      "\"Shared\"=\"Ivorel ODBC Driver\"\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Shared]\n"
      "\"Server\"=\"db\"\n";
  // A journal just short of the size at which a change rewrites the whole
  // file: the writers' changes cross it, and rewrite the file while others
  // append to it.
  std::string padding = "[HKEY_CURRENT_USER\\SOFTWARE\\Padding]\n";
  posix::appendValueLine(padding, "Pad", REG_SZ, std::string(1000, 'p') + '\0');
  const std::string entry = posix::journalEntry(padding);
  const std::size_t journalLimit = posix::Hive::kDefaultJournalLimit;
  while (hive.size() + entry.size() < journalLimit - 8 * 1024) hive += entry;
  writeFile(registry + "/HKEY_CURRENT_USER.reg", hive);

  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) runWriter(writer, registry);
    writers.push_back(pid);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
  }

  // The journal was rewritten on the way.
  EXPECT_LT(readFile(registry + "/HKEY_CURRENT_USER.reg").size(), hive.size());
  useRegistry(registry);
  std::vector<NamedValue> values;
  ASSERT_TRUE(readKey(HKEY_CURRENT_USER, kDsnPath, 0, values));
  posix::resetRegistryForTests();
  std::map<std::string, std::string> byName;
  for (const NamedValue& value : values) {
    EXPECT_TRUE(byName.emplace(value.name, value.data).second) << "twice: " << value.name;
  }
  EXPECT_EQ(byName.size(), 1u + kWriters * (kChangesEach + 1));
  EXPECT_EQ(byName["Server"], "db");
  for (int writer = 0; writer < kWriters; ++writer) {
    for (int change = 0; change < kChangesEach; ++change) {
      EXPECT_EQ(byName[propertyName(writer, change)], propertyValue(writer, change));
    }
    EXPECT_EQ(byName["Last" + std::to_string(writer)], std::to_string(kChangesEach - 1));
  }
}

}  // namespace
}  // namespace dsnconf::test
