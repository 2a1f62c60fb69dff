// What the fault tests share: registry folders to copy, the program started
// and killed as a child process, and the registry read back in this process.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "registry/api/registry_state.h"
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

}  // namespace dsnconf::test
