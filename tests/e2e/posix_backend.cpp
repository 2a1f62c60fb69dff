// Runs the built program as a child process over a registry folder of its own.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "backend.h"
#include "child_process.h"

namespace fs = std::filesystem;

namespace dsnconf::e2e {

std::string hiveFileText(const std::string& lines) {
  if (lines.rfind("Windows Registry Editor", 0) == 0 || lines.rfind("REGEDIT4", 0) == 0) {
    return lines;
  }
  return "Windows Registry Editor Version 5.00\n\n" + lines;
}

namespace {

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The variables a child inherits from the test process: the rest of the
// environment could change what the program does.
bool inherited(const std::string& name) {
  for (const char* prefix :
       {"PATH=", "LD_LIBRARY_PATH=", "ASAN_OPTIONS=", "UBSAN_OPTIONS=", "LSAN_OPTIONS="}) {
    if (name.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

class PosixBackend : public Backend {
 public:
  PosixBackend() {
    std::string pattern = (fs::temp_directory_path() / "dsnconf-e2e-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
  }
  ~PosixBackend() override {
    std::error_code ignored;
    fs::permissions(root_, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root_, ignored);
  }

  std::string skipReason(const Case& c) const override {
    if (runsCmd(c)) return "runs a command line through cmd.exe, which only the Windows stage has";
    return "";
  }

  void prepare(const Case& c) override {
    std::error_code ignored;
    fs::remove_all(root_ / "registry", ignored);
    fs::remove_all(root_ / "work", ignored);
    fs::create_directories(root_ / "registry");
    // A case may keep its registry elsewhere, e.g. in its work folder.
    registryDir_ = root_ / "registry";
    for (const auto& [name, value] : c.env) {
      if (name == "DSNCONF_REGISTRY") registryDir_ = replaceAll(value, "{DIR}", workDir());
    }
    // Without the variable the program takes its default folder under HOME.
    if (registryDir_.empty()) registryDir_ = root_ / "home" / ".dsnconf" / "registry";
    fs::create_directories(root_ / "work");
    fs::create_directories(root_ / "home");
    for (const auto& [root, lines] : c.hives) {
      writeFile(hivePath(root), hiveFileText(replaceAll(lines, "{DIR}", workDir())));
    }
    for (const auto& [path, content] : c.files) {
      writeFile(root_ / "work" / path, replaceAll(content, "{DIR}", workDir()));
    }
  }

  std::string workDir() const override { return (root_ / "work").string(); }

  RunResult run(const Case& c, const Step& step) override {
    std::vector<std::string> args = {DSNCONF_BINARY};
    for (const std::string& arg : step.args) args.push_back(replaceAll(arg, "{DIR}", workDir()));
    const ChildOutcome outcome = runChild(args, childEnvironment(c), root_ / "work", root_);
    RunResult result;
    result.out = outcome.out;
    result.err = outcome.err;
    if (outcome.exited) {
      result.status = outcome.status;
    } else {
      result.failure = "killed by signal " + std::to_string(outcome.status);
    }
    return result;
  }

  std::optional<std::string> readHive(Root root) override {
    const fs::path path = hivePath(root);
    if (!fs::exists(path)) return std::nullopt;
    return readWholeFile(path);
  }

  long long visibleStatus(long long result) const override {
    // As the program maps it: a failure whose low byte is 0 shows as 1.
    if (result != 0 && (result & 0xFF) == 0) return 1;
    return result & 0xFF;
  }
  bool checksHiveBytes() const override { return true; }
  bool checksStderr() const override { return true; }

 private:
  fs::path hivePath(Root root) const {
    return registryDir_ / (std::string(rootFileName(root)) + ".reg");
  }

  std::vector<std::string> childEnvironment(const Case& c) const {
    std::map<std::string, std::string> variables;
    for (char** entry = environ; *entry; ++entry) {
      const std::string text = *entry;
      if (inherited(text))
        variables[text.substr(0, text.find('='))] = text.substr(text.find('=') + 1);
    }
    variables["HOME"] = (root_ / "home").string();
    variables["DSNCONF_REGISTRY"] = (root_ / "registry").string();
    // Cases run as an administrator unless they say otherwise, whoever runs them.
    variables["DSNCONF_ELEVATED"] = "1";
    for (const auto& [name, value] : c.env) variables[name] = replaceAll(value, "{DIR}", workDir());
    std::vector<std::string> env;
    for (const auto& [name, value] : variables) env.push_back(name + "=" + value);
    return env;
  }

  fs::path root_;
  fs::path registryDir_;
};

}  // namespace

std::unique_ptr<Backend> makePosixBackend() {
  return std::make_unique<PosixBackend>();
}

}  // namespace dsnconf::e2e
