// Runs the Windows program under Wine over Wine's own registry.
//
// The stage script puts dsnconf.exe, our odbccp32.dll and case-host.exe into
// one folder, named by DSNCONF_WINE_BIN_DIR, and keeps one wineserver alive for
// the prefix in WINEPREFIX, so that each Wine process starts warm. A case costs
// two Wine processes: reg.exe imports its hives, and the case host runs the
// program (or, for a cmd step, cmd.exe with the line), records its exit code
// and registry trees and empties them again.
//
// What the program sees is what the case says, as on POSIX. The first six
// commands see bytes: Wine's ANSI code page is pinned to 1252, and arguments,
// environment and seeded registry data are handed to Wine as the text whose
// ANSI form is the case's bytes; the case host reads the trees back through
// the ANSI calls. A case whose every run is of a command that takes Unicode
// text is UTF-8 text, as on POSIX: Wine gets its UTF-16, the string types'
// hex data included, and the case host reads the trees back through the wide
// calls as UTF-8. Output and files are bytes already.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "backend.h"
#include "child_process.h"
#include "wine_text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace dsnconf::e2e {
namespace {

using wine::ansiBytesAsUtf8;
using wine::CaseKeys;
using wine::odbcTrees;
using wine::RegBlock;
using wine::RegValue;

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// ---- Child processes.

struct Outcome {
  int status = -1;  // the 8-bit exit status, or -1 when killed
  std::string out;
  std::string err;
};

// Without a display a message box returns at once; the locale is pinned below.
bool passedToWine(const std::string& entry) {
  for (const char* name : {"DISPLAY=", "WAYLAND_DISPLAY=", "LC_ALL=", "LANG=", "LANGUAGE="}) {
    if (entry.rfind(name, 0) == 0) return false;
  }
  return true;
}

class Wine {
 public:
  explicit Wine(fs::path scratch) : scratch_(std::move(scratch)) {}

  // Runs `wine args...` in `dir` with the case's extra variables.
  Outcome run(const std::vector<std::string>& args, const fs::path& dir,
              const std::vector<std::pair<std::string, std::string>>& extraEnv = {}) const {
    std::vector<std::string> argv = {"timeout", "--kill-after=5", "120", "wine"};
    argv.insert(argv.end(), args.begin(), args.end());
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) {
      if (passedToWine(*entry)) env.push_back(*entry);
    }
    env.push_back("LC_ALL=C.UTF-8");  // ANSI code page 1252
    env.push_back("WINEDEBUG=-all");
    // No crash dialog or dump, and our installer library, not Wine's.
    env.push_back("WINEDLLOVERRIDES=winedbg.exe=d;odbccp32=n");
    for (const auto& [name, value] : extraEnv) env.push_back(name + "=" + value);

    const ChildOutcome child = runChild(argv, env, dir, scratch_);
    Outcome outcome;
    outcome.status = child.exited ? child.status : -1;
    outcome.out = child.out;
    outcome.err = child.err;
    return outcome;
  }

 private:
  fs::path scratch_;
};

// ---- The backend.

// Variables through which a case steers our POSIX platform layer: Wine has
// its own answer to each (it runs as an administrator, on 64-bit Windows,
// with the installer library beside the program).
// The commands that take their arguments from the wide command line and reach
// the registry through the wide calls (README, "Text beyond the ANSI code
// page").
bool takesUnicode(const Step& step) {
  if (step.args.empty()) return false;
  std::string word = step.args.front();
  for (char& c : word) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (const char* command : {"add", "remove", "check", "export", "change", "apply", "show"}) {
    if (word == command) return true;
  }
  return false;
}

bool isUnicodeCase(const Case& c) {
  for (const Step& step : c.steps) {
    if (!takesUnicode(step)) return false;
  }
  return !c.steps.empty();
}

// The case's text that Wine gets: its arguments, variables and hives.
std::vector<std::string> caseTexts(const Case& c) {
  std::vector<std::string> texts;
  for (const Step& step : c.steps) texts.insert(texts.end(), step.args.begin(), step.args.end());
  for (const auto& variable : c.env) texts.push_back(variable.second);
  for (const auto& [root, lines] : c.hives) texts.push_back(lines);
  for (const auto& [root, expected] : c.hivesAfter) texts.push_back(expected.content);
  return texts;
}

bool steersPosixPlatform(const std::pair<std::string, std::string>& variable) {
  if (variable.first.rfind("DSNCONF_", 0) != 0) return false;
  return !(variable.first == "DSNCONF_ELEVATED" && variable.second == "1");
}

class WineBackend : public Backend {
 public:
  WineBackend() {
    const char* bin = std::getenv("DSNCONF_WINE_BIN_DIR");
    if (bin == nullptr || *bin == '\0') throw std::runtime_error("DSNCONF_WINE_BIN_DIR is not set");
    bin_ = fs::absolute(bin);
    for (const char* file : {"dsnconf.exe", "odbccp32.dll", "case-host.exe"}) {
      if (!fs::exists(bin_ / file))
        throw std::runtime_error((bin_ / file).string() + " is missing");
    }
    std::string pattern = (fs::temp_directory_path() / "dsnconf-wine-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    root_ = pattern;
    // The case host takes its scratch folder as one plain word.
    if (root_.string().find_first_of(" \t\"") != std::string::npos) {
      throw std::runtime_error("the scratch folder's path holds a blank or a quote");
    }
    wine_ = std::make_unique<Wine>(root_);
  }

  ~WineBackend() override {
    printSkipSummary();
    std::error_code ignored;
    fs::remove_all(root_, ignored);
  }

  std::string skipReason(const Case& c) const override {
    std::string reason;
    if (!c.wineSkip.empty()) {
      reason = c.wineSkip;
    } else if (namesKeyOutsideOdbcTrees(c)) {
      reason = "names registry keys outside the ODBC trees, which Wine's registry shares with Wine";
    } else if (isUnicodeCase(c)) {
      reason = unicodeSkipReason(c);
    } else if (holdsRawStrings(c)) {
      reason =
          "gives string data as raw bytes (hex(1)), which Wine's registry keeps as UTF-16, "
          "always terminated";
    }
    if (reason.empty()) reason = platformSkipReason(c);
    if (!reason.empty()) ++skipped_[reason];
    return reason;
  }

  void prepare(const Case& c) override {
    // The case host empties the trees after each run; a case that ended
    // before its run leaves them to be emptied here.
    if (registryDirty_) {
      expectSuccess(wine_->run({hostPath(), "clear"}, root_), "case-host clear");
      registryDirty_ = false;
    }
    std::error_code ignored;
    fs::remove_all(root_ / "work", ignored);
    fs::create_directories(root_ / "work");
    for (const auto& [path, content] : c.files) {
      writeFile(root_ / "work" / path, replaceAll(content, "{DIR}", workDir()));
    }

    keys_.clear();
    exported_.clear();
    unicode_ = isUnicodeCase(c);
    std::string reg;
    for (const auto& [root, lines] : c.hives) {
      const std::string text = replaceAll(lines, "{DIR}", workDir());
      keys_[root].add(text);
      reg += bodyOf(text) + "\n";
    }
    std::string converted;
    if (unicode_ && !wine::stringHexAsUtf16(reg, converted)) {
      throw std::runtime_error("string data in hex that is no UTF-8");
    }
    if (unicode_) reg = converted;
    for (const auto& [root, expected] : c.hivesAfter) {
      keys_[root].add(replaceAll(expected.content, "{DIR}", workDir()));
    }
    if (reg.empty()) return;
    // reg.exe reads hex(2) and hex(7) data as UTF-16 only from a Unicode file.
    reg = "Windows Registry Editor Version 5.00\n\n" + reg;
    reg = replaceAll(reg, "\n", "\r\n");
    writeFile(root_ / "seed.reg",
              unicode_ ? wine::utf8AsUtf16File(reg) : wine::ansiBytesAsUtf16File(reg));
    registryDirty_ = true;
    // The 64-bit view, so that WOW6432Node paths land in the 32-bit view; the
    // 32-bit reg.exe, which starts several times faster than the 64-bit one.
    expectSuccess(wine_->run({kReg32, "import", (root_ / "seed.reg").string(), "/reg:64"}, root_),
                  "reg import");
  }

  std::string workDir() const override { return (root_ / "work").string(); }

  RunResult run(const Case& c, const Step& step) override {
    // POSIX paths work as Windows ones: Wine's current drive, Z:, is the root.
    // Runs before a case's last leave the registry to the next one.
    const bool lastRun = &step == &c.steps.back();
    std::vector<std::string> args;
    if (step.cmdLine) {
      // The host reads the line from a file: Wine would escape its quotes
      // on the way through a command line of its own.
      writeFile(root_ / "cmd-line.txt", replaceAll(*step.cmdLine, "{DIR}", workDir()));
      args = {hostPath(), lastRun ? "cmd" : "cmd-more", root_.string()};
    } else {
      args = {hostPath(), lastRun ? "run" : "run-more"};
      if (unicode_) args.push_back("/unicode");
      args.push_back(root_.string());
      args.push_back((bin_ / "dsnconf.exe").string());
      for (const std::string& arg : step.args) args.push_back(asGiven(arg));
    }
    std::vector<std::pair<std::string, std::string>> env;
    for (const auto& [name, value] : c.env) env.emplace_back(name, asGiven(value));
    std::error_code ignored;
    for (const char* file : {"exit-code", "HKEY_LOCAL_MACHINE.reg", "HKEY_CURRENT_USER.reg"}) {
      fs::remove(root_ / file, ignored);
    }

    registryDirty_ = true;
    const Outcome outcome = wine_->run(args, root_ / "work", env);
    RunResult result;
    result.out = wine::withoutCarriageReturns(outcome.out);
    result.err = outcome.err;
    std::ifstream exitFile(root_ / "exit-code");
    if (outcome.status != 0 || !(exitFile >> result.status)) {
      result.failure = "the case host failed under Wine (status " + std::to_string(outcome.status) +
                       "): " + outcome.err;
      return result;
    }
    registryDirty_ = !lastRun;
    for (Root root : {Root::LocalMachine, Root::CurrentUser}) {
      exported_[root] = readWholeFile(root_ / (std::string(rootFileName(root)) + ".reg"));
    }
    return result;
  }

  std::optional<std::string> readHive(Root root) override {
    const auto found = exported_.find(root);
    if (found == exported_.end()) return std::nullopt;
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    const CaseKeys& keys = keys_[root];
    for (RegBlock& block : wine::regBlocks(found->second)) {
      if (block.values.empty() && !keys.names(block.key)) continue;
      keys.reorder(block.key, block.values);
      text += "[" + keys.respell(block.key) + "]\n";
      for (const RegValue& value : block.values) text += value.lines;
      text += "\n";
    }
    return text;
  }

  long long visibleStatus(long long result) const override { return result; }
  bool checksHiveBytes() const override { return false; }
  bool checksStderr() const override { return false; }

 private:
  static constexpr const char* kReg32 = "C:\\windows\\syswow64\\reg.exe";

  std::string hostPath() const { return (bin_ / "case-host.exe").string(); }

  // An argument or variable as Wine must get it: the case's UTF-8 where the
  // program reads Unicode text, else the text whose ANSI form is its bytes.
  std::string asGiven(const std::string& text) const {
    const std::string given = replaceAll(text, "{DIR}", workDir());
    return unicode_ ? given : ansiBytesAsUtf8(given);
  }

  static std::string unicodeSkipReason(const Case& c) {
    for (const std::string& text : caseTexts(c)) {
      if (!wine::isUtf8(text)) return "holds bytes that are no UTF-8, which Wine has no UTF-16 for";
    }
    std::string converted;
    for (const auto& [root, lines] : c.hives) {
      if (!wine::stringHexAsUtf16(lines, converted)) {
        return "gives string data in hex that is no UTF-8, which Wine has no UTF-16 for";
      }
    }
    return "";
  }

  static std::string platformSkipReason(const Case& c) {
    if (expectsStderr(c)) return "expects message boxes, which the POSIX build writes to stderr";
    for (const auto& variable : c.env) {
      if (steersPosixPlatform(variable)) {
        return "sets " + variable.first + ", which only the POSIX platform layer reads";
      }
    }
    return "";
  }

  static void expectSuccess(const Outcome& outcome, const std::string& what) {
    if (outcome.status != 0) {
      throw std::runtime_error(what + " failed under Wine (status " +
                               std::to_string(outcome.status) + "): " + outcome.err + outcome.out);
    }
  }

  static std::string bodyOf(const std::string& lines) {
    if (lines.rfind("Windows Registry Editor", 0) == 0 || lines.rfind("REGEDIT4", 0) == 0) {
      return lines.substr(lines.find('\n') + 1);
    }
    return lines;
  }

  static bool underOdbcTree(Root root, const std::string& key) {
    for (const std::string& tree : odbcTrees(root)) {
      if (wine::isUnder(key, tree)) return true;
    }
    return false;
  }

  static bool expectsStderr(const Case& c) {
    for (const Step& step : c.steps) {
      if (step.expectedStderr && !step.expectedStderr->empty()) return true;
    }
    return false;
  }

  static bool namesKeyOutsideOdbcTrees(const Case& c) {
    auto outside = [](Root root, const std::string& lines) {
      for (const std::string& key : wine::keyHeaders(lines)) {
        if (!underOdbcTree(root, key)) return true;
      }
      return false;
    };
    for (const auto& [root, lines] : c.hives) {
      if (outside(root, lines)) return true;
    }
    for (const auto& [root, expected] : c.hivesAfter) {
      if (outside(root, expected.content)) return true;
    }
    return false;
  }

  static bool holdsRawStrings(const Case& c) {
    for (const auto& [root, lines] : c.hives) {
      if (wine::hasRawStringValue(lines, false)) return true;
    }
    for (const auto& [root, expected] : c.hivesAfter) {
      if (wine::hasRawStringValue(expected.content, true)) return true;
    }
    return false;
  }

  void printSkipSummary() const {
    int total = 0;
    for (const auto& [reason, count] : skipped_) total += count;
    std::cout << "Wine: " << total << " case(s) skipped\n";
    for (const auto& [reason, count] : skipped_) {
      std::cout << "  " << count << " x " << reason << "\n";
    }
  }

  fs::path bin_;
  fs::path root_;
  std::unique_ptr<Wine> wine_;
  bool registryDirty_ = true;
  bool unicode_ = false;  // the case is Unicode text (isUnicodeCase)
  std::map<Root, CaseKeys> keys_;
  std::map<Root, std::string> exported_;
  mutable std::map<std::string, int> skipped_;
};

}  // namespace

std::unique_ptr<Backend> makeWineBackend() {
  return std::make_unique<WineBackend>();
}

}  // namespace dsnconf::e2e
