// Runs a program as a child process with a given environment and folder, its
// standard input empty and its output captured.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace dsnconf::e2e {

struct ChildOutcome {
  std::string out;
  std::string err;
  bool exited = false;  // false when a signal ended it
  int status = 0;       // the exit status, or the signal
};

// args[0] is looked up on PATH when it has no slash; the output goes through
// files in `scratch`.
ChildOutcome runChild(const std::vector<std::string>& args, const std::vector<std::string>& env,
                      const std::filesystem::path& dir, const std::filesystem::path& scratch);

std::string readWholeFile(const std::filesystem::path& path);

}  // namespace dsnconf::e2e
