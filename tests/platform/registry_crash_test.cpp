// A writer killed at any instant leaves a loadable hive in which each call is whole or absent,
// and writers running at once on one hive lose none of each other's changes.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

constexpr REGSAM kAll = KEY_ALL_ACCESS;
const char* const kListPath = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";

std::string valueFor(int writer, int i) {
  return std::string(20 + (i * 37) % 400, static_cast<char>('a' + (writer + i) % 26));
}

// The calls of one writer, in order: create key K<i>, then set value V<i> in the list.
[[noreturn]] void writeUntilKilled(int round, int progress) {
  posix::resetRegistryForTests();
  HKEY list = nullptr;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, kListPath, 0, nullptr, 0, kAll, nullptr, &list, nullptr) !=
      0) {
    ::_exit(1);
  }
  for (int i = 0;; ++i) {
    std::string suffix = std::to_string(round) + "_" + std::to_string(i);
    HKEY key = nullptr;
    std::string path = "SOFTWARE\\ODBC\\ODBC.INI\\K" + suffix;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, kAll, nullptr, &key,
                        nullptr) != 0) {
      ::_exit(2);
    }
    RegCloseKey(key);
    int done = 2 * i + 1;
    if (::write(progress, &done, sizeof done) != sizeof done) ::_exit(3);
    if (setString(list, ("V" + suffix).c_str(), valueFor(round, i)) != 0) ::_exit(4);
    done = 2 * i + 2;
    if (::write(progress, &done, sizeof done) != sizeof done) ::_exit(3);
  }
}

class RegistryCrashTest : public RegistryTest {};

TEST_F(RegistryCrashTest, KilledWriterLeavesEveryCallWholeOrAbsent) {
  // Small enough that whole-file rewrites are interrupted too.
  posix::setJournalLimitForTests(4096);
  {
    ScopedKey list;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kListPath, 0, nullptr, 0, kAll, nullptr,
                              list.out(), nullptr),
              0);
  }
  std::mt19937 random(20261207);
  for (int round = 0; round < 8; ++round) {
    int pipe[2];
    ASSERT_EQ(::pipe(pipe), 0);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      ::close(pipe[0]);
      writeUntilKilled(round, pipe[1]);
    }
    ::close(pipe[1]);
    ::usleep(2000 + random() % 30000);
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "writer stopped by itself: " << WEXITSTATUS(status);
    int confirmed = 0;
    for (int done = 0; ::read(pipe[0], &done, sizeof done) == sizeof done;) confirmed = done;
    ::close(pipe[0]);

    // Calls run one after another, so what is there must be the first `present` calls,
    // each complete: at least every confirmed call, at most the one in progress.
    restart();
    ScopedKey list;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kListPath, 0, KEY_READ, list.out()), 0);
    std::vector<EnumeratedValue> values;
    for (const EnumeratedValue& value : enumerate(list.get())) {
      if (value.name.rfind("V" + std::to_string(round) + "_", 0) == 0) values.push_back(value);
    }
    int present = 0;
    for (int i = 0;; ++i) {
      std::string suffix = std::to_string(round) + "_" + std::to_string(i);
      ScopedKey key;
      std::string path = "SOFTWARE\\ODBC\\ODBC.INI\\K" + suffix;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, key.out()) != 0) break;
      ++present;
      if (static_cast<std::size_t>(i) >= values.size()) break;
      EXPECT_EQ(values[i].name, "V" + suffix);
      EXPECT_EQ(values[i].data, valueFor(round, i) + '\0');
      ++present;
    }
    EXPECT_EQ(values.size(), static_cast<std::size_t>(present / 2)) << "round " << round;
    EXPECT_GE(present, confirmed) << "round " << round;
    EXPECT_LE(present, confirmed + 1) << "round " << round;
  }
}

TEST_F(RegistryCrashTest, ConcurrentWritersLoseNoChange) {
  posix::setJournalLimitForTests(2048);
  constexpr int kWriters = 4;
  constexpr int kChanges = 60;
  {
    ScopedKey list;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kListPath, 0, nullptr, 0, kAll, nullptr,
                              list.out(), nullptr),
              0);
  }
  std::vector<pid_t> writers;
  for (int writer = 0; writer < kWriters; ++writer) {
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
      posix::resetRegistryForTests();
      HKEY list = nullptr;
      if (RegOpenKeyExA(HKEY_CURRENT_USER, kListPath, 0, kAll, &list) != 0) ::_exit(1);
      for (int i = 0; i < kChanges; ++i) {
        std::string name = "W" + std::to_string(writer) + "_" + std::to_string(i);
        if (setString(list, name.c_str(), valueFor(writer, i)) != 0) ::_exit(2);
        // Each writer also rewrites a value all of them share.
        if (setString(list, "shared", name) != 0) ::_exit(3);
      }
      ::_exit(0);
    }
    writers.push_back(pid);
  }
  for (pid_t pid : writers) {
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }

  restart();
  ScopedKey list;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kListPath, 0, KEY_READ, list.out()), 0);
  std::vector<EnumeratedValue> values = enumerate(list.get());
  std::vector<int> next(kWriters, 0);
  int shared = 0;
  for (const EnumeratedValue& value : values) {
    if (value.name == "shared") {
      ++shared;
      continue;
    }
    int writer = value.name[1] - '0';
    ASSERT_TRUE(writer >= 0 && writer < kWriters) << value.name;
    // Each writer's values appear in the order it set them.
    EXPECT_EQ(value.name, "W" + std::to_string(writer) + "_" + std::to_string(next[writer]));
    EXPECT_EQ(value.data, valueFor(writer, next[writer]) + '\0');
    ++next[writer];
  }
  EXPECT_EQ(shared, 1);
  for (int writer = 0; writer < kWriters; ++writer) EXPECT_EQ(next[writer], kChanges);
}

}  // namespace
}  // namespace dsnconf::test
