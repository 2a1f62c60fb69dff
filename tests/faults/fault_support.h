// What the fault tests share: registry folders to copy, the program started
// and killed as a child process, and the registry read back in this process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "registry/api/registry_state.h"
#include "registry/tree/tree_text.h"
#include "test_support.h"
#include "win32.h"

namespace dsnconf::test {

inline void copyFolder(const std::string& from, const std::string& to) {
  std::filesystem::remove_all(to);
  std::filesystem::copy(from, to, std::filesystem::copy_options::recursive);
}

// The program running as a child, its output going to a file.
class Child {
 public:
  Child(const std::vector<std::string>& arguments, const std::string& registry,
        const std::string& outputPath) {
    std::vector<std::string> argv = {DSNCONF_BINARY};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    std::vector<char*> pointers;
    for (std::string& argument : argv) pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      const int out = ::open(outputPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
      if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0) ::_exit(127);
      ::setenv("DSNCONF_REGISTRY", registry.c_str(), 1);
      ::execv(pointers[0], pointers.data());
      ::_exit(127);
    }
  }
  Child(const Child&) = delete;
  Child& operator=(const Child&) = delete;
  ~Child() {
    if (pid_ > 0) {
      ::kill(pid_, SIGKILL);
      wait();
    }
  }

  void kill() { ::kill(pid_, SIGKILL); }

  // The raw wait status.
  int wait() {
    int status = 0;
    while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
    }
    pid_ = -1;
    return status;
  }

 private:
  pid_t pid_ = -1;
};

// Seconds one run of the program takes over `registry`.
inline double timeRun(const std::vector<std::string>& arguments, const std::string& registry,
                      const std::string& outputPath) {
  const auto start = std::chrono::steady_clock::now();
  Child child(arguments, registry, outputPath);
  child.wait();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// How many rounds a kill test runs: at least `rounds`, and on, up to
// `maxRounds`, until kills have landed inside the writes `wanted` times: on a
// busy machine many land before the program reaches them or after it is done.
struct KillPlan {
  int rounds = 40;
  int maxRounds = 200;
  int wanted = 3;
};

// The hive file's text in canonical form; a failure where it cannot be read.
inline std::string canonicalHive(const std::string& path) {
  std::string canonical;
  std::string error;
  EXPECT_TRUE(posix::canonicalRegText(readFile(path), canonical, error)) << path << ": " << error;
  return canonical;
}

// Runs `command` over a fresh copy of the registry folder `master` in `run`,
// kills it at a point spread over the time one run takes, requires every hive
// file it left to read, and hands the round to `check`, which says whether
// the kill landed inside the writes. Returns how often it did.
inline int runKillRounds(const std::vector<std::string>& command, const std::string& master,
                         const std::string& run, const std::string& outputPath,
                         std::mt19937& random, const KillPlan& plan,
                         const std::function<bool(const std::string& context)>& check) {
  int interrupted = 0;
  for (int round = 0; round < plan.maxRounds; ++round) {
    if (round >= plan.rounds && interrupted >= plan.wanted) break;
    // Timed again each round: on a busy machine one run's time says little
    // about the next, and kills must land inside the writes.
    copyFolder(master, run);
    const double duration = timeRun(command, run, outputPath);
    posix::resetRegistryForTests();
    copyFolder(master, run);
    const double fraction =
        (round % plan.rounds + std::uniform_real_distribution<>(0, 1)(random)) / plan.rounds;
    Child child(command, run, outputPath);
    ::usleep(static_cast<useconds_t>(fraction * 1.1 * duration * 1e6));
    child.kill();
    child.wait();
    for (const auto& entry : std::filesystem::directory_iterator(run)) {
      if (entry.path().extension() == ".reg") canonicalHive(entry.path().string());
    }
    if (check("round " + std::to_string(round))) ++interrupted;
  }
  return interrupted;
}

// Opens the registry in `folder` in this process, as a new process would.
inline void useRegistry(const std::string& folder) {
  ::setenv("DSNCONF_REGISTRY", folder.c_str(), 1);
  ::unsetenv("DSNCONF_ELEVATED");
  ::unsetenv("DSNCONF_WOW64");
  posix::resetRegistryForTests();
}

struct NamedValue {
  std::string name;
  std::string data;  // up to its first zero byte
  bool operator==(const NamedValue& other) const {
    return name == other.name && data == other.data;
  }
};

// The values of a key in enumeration order; false when it cannot be opened.
inline bool readKey(HKEY root, const std::string& path, REGSAM view,
                    std::vector<NamedValue>& values) {
  values.clear();
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ | view, &key) != ERROR_SUCCESS) return false;
  for (DWORD index = 0;; ++index) {
    char name[16384];
    char data[65536];
    DWORD nameLength = sizeof name;
    DWORD dataLength = sizeof data - 1;
    if (RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr,
                      reinterpret_cast<BYTE*>(data), &dataLength) != ERROR_SUCCESS) {
      break;
    }
    data[dataLength] = '\0';
    values.push_back({std::string(name, nameLength), std::string(data)});
  }
  RegCloseKey(key);
  return true;
}

constexpr const char* kDataSourceList = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kOdbcIni = "SOFTWARE\\ODBC\\ODBC.INI";

// The machine's two registry views, as messages and view words name them.
struct MachineView {
  REGSAM flag;
  const char* name;
  const char* word;
};
constexpr MachineView kMachineViews[] = {{KEY_WOW64_64KEY, "64-bit", "/64"},
                                         {KEY_WOW64_32KEY, "32-bit", "/32"}};

// Every list entry of the root in both views whose data source has no key,
// as "view: name".
inline std::vector<std::string> listedWithoutKey(HKEY root) {
  std::vector<std::string> missing;
  for (const MachineView& view : kMachineViews) {
    std::vector<NamedValue> entries;
    if (!readKey(root, kDataSourceList, view.flag, entries)) continue;
    for (const NamedValue& entry : entries) {
      std::vector<NamedValue> values;
      if (!readKey(root, std::string(kOdbcIni) + "\\" + entry.name, view.flag, values)) {
        missing.push_back(std::string(view.name) + ": " + entry.name);
      }
    }
  }
  return missing;
}

// Whether the machine view's list holds the entry.
inline bool isListed(const MachineView& view, const NamedValue& entry, const std::string& context) {
  std::vector<NamedValue> list;
  EXPECT_TRUE(readKey(HKEY_LOCAL_MACHINE, kDataSourceList, view.flag, list)) << context;
  return std::find(list.begin(), list.end(), entry) != list.end();
}

// view /all reads the registry a killed run left without stopping.
inline void expectViewAllReads(const std::string& registry, const std::string& context) {
  const ProcessResult view =
      runProcess(DSNCONF_BINARY, {"view", "/all"}, {{"DSNCONF_REGISTRY", registry}});
  EXPECT_EQ(view.exitStatus, 0) << context;
  EXPECT_EQ(view.err, "") << context;
}

}  // namespace dsnconf::test
