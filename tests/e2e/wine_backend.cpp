// Runs the Windows program under Wine over Wine's own registry.
//
// The stage script puts dsnconf.exe, our odbccp32.dll and case-host.exe into
// one folder, named by DSNCONF_WINE_BIN_DIR, and keeps one wineserver alive for
// the prefix in WINEPREFIX, so that each Wine process starts warm. A case costs
// two Wine processes: reg.exe imports its hives, and the case host runs the
// program, records its exit code and registry trees and empties them again.
//
// What the program sees is byte for byte what the case says, as on POSIX:
// Wine's ANSI code page is pinned to 1252, and arguments, environment and
// seeded registry data are handed to Wine as the text whose ANSI form is the
// case's bytes. Output, files and the exported trees are bytes already.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <vector>

#include "backend.h"

extern char** environ;

namespace fs = std::filesystem;

namespace dsnconf::e2e {
namespace {

// ---- Windows-1252, the ANSI code page Wine gives an English locale.

// Bytes 0x80 to 0x9F; the five that the code page leaves unassigned map to the
// control characters of the same number, as Windows maps them.
constexpr char32_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t fromCp1252(unsigned char byte) {
  return byte >= 0x80 && byte <= 0x9F ? kCp1252High[byte - 0x80] : byte;
}

void appendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// Wine reads its command line and environment as UTF-8 and hands the program
// their ANSI form: this is the UTF-8 text whose ANSI form is `bytes`.
std::string ansiBytesAsUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char byte : bytes) appendUtf8(out, fromCp1252(byte));
  return out;
}

// A .reg file that reg.exe reads as Unicode, holding the ANSI text `bytes`.
std::string ansiBytesAsUtf16File(const std::string& bytes) {
  std::string out = "\xFF\xFE";
  for (unsigned char byte : bytes) {
    const char32_t c = fromCp1252(byte);
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string withoutCarriageReturns(const std::string& text) {
  return replaceAll(text, "\r\n", "\n");
}

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::string readFile(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void writeFile(const fs::path& path, const std::string& text) {
  fs::create_directories(path.parent_path());
  std::ofstream out(path, std::ios::binary);
  out << text;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// ---- .reg text: the key headers of a case's hive lines, and export blocks.

// The trees of a root that the program works on; every case starts with them
// empty. HKLM's 32-bit view is its WOW6432Node subtree in the 64-bit view.
std::vector<std::string> odbcTrees(Root root) {
  if (root == Root::LocalMachine) {
    return {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC", "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC"};
  }
  return {"HKEY_CURRENT_USER\\SOFTWARE\\ODBC"};
}

bool isUnder(const std::string& key, const std::string& tree) {
  const std::string k = lowerAscii(key);
  const std::string t = lowerAscii(tree);
  return k == t || k.rfind(t + "\\", 0) == 0;
}

// The key paths that .reg lines name, as written.
std::vector<std::string> keyHeaders(const std::string& lines) {
  std::vector<std::string> keys;
  std::istringstream in(lines);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.size() > 2 && line.front() == '[' && line.back() == ']' && line[1] != '-') {
      keys.push_back(line.substr(1, line.size() - 2));
    }
  }
  return keys;
}

std::vector<std::string> splitKey(const std::string& key) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = key.find('\\', start)) != std::string::npos;
       start = slash + 1) {
    parts.push_back(key.substr(start, slash - start));
  }
  parts.push_back(key.substr(start));
  return parts;
}

// One value of a .reg section: its first line and any continuation lines.
struct RegValue {
  std::string name;  // lower-cased, "@" for the default value
  std::string lines;
};

struct RegBlock {
  std::string key;
  std::vector<RegValue> values;
};

// The name at the start of a value line: "..." with \\ and \" escapes, or @.
std::string valueName(const std::string& line) {
  if (line.rfind("@=", 0) == 0) return "@";
  std::string name;
  for (std::size_t i = 1; i < line.size() && line[i] != '"'; ++i) {
    if (line[i] == '\\' && i + 1 < line.size()) ++i;
    name += line[i];
  }
  return lowerAscii(name);
}

// What follows the name and its '=' in a value's lines.
std::string valueData(const std::string& lines) {
  std::size_t i = 0;
  if (lines.rfind("@=", 0) != 0) {
    for (i = 1; i < lines.size() && lines[i] != '"'; ++i) {
      if (lines[i] == '\\') ++i;
    }
  }
  return i + 2 <= lines.size() ? lines.substr(i + 2) : std::string();
}

std::vector<RegBlock> regBlocks(const std::string& text) {
  std::vector<RegBlock> blocks;
  std::istringstream in(text);
  std::string line;
  bool continued = false;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const bool continuation = continued;
    continued = !line.empty() && line.back() == '\\';
    if (continuation && !blocks.empty() && !blocks.back().values.empty()) {
      blocks.back().values.back().lines += line + "\n";
    } else if (line.size() > 2 && line.front() == '[' && line.back() == ']') {
      blocks.push_back({line.substr(1, line.size() - 2), {}});
    } else if (!blocks.empty() && !line.empty() && (line.front() == '"' || line.front() == '@')) {
      blocks.back().values.push_back({valueName(line), line + "\n"});
    }
  }
  return blocks;
}

// What the case says of each key: how it spells it, whether it names it (so
// that it counts even without values), and the order of its values. Wine's
// registry creates every parent of a key it imports, keeps the case's spelling
// of neither "Software" nor "Wow6432Node", and enumerates values by name
// rather than in the order of their creation.
class CaseKeys {
 public:
  // Later texts take precedence for the order of values: the expected state
  // is added after the seeded one.
  void add(const std::string& lines) {
    for (const RegBlock& block : regBlocks(lines)) {
      if (block.key.front() == '-') continue;
      const std::string key = lowerAscii(block.key);
      std::vector<std::string>& order = valueOrder_[key];
      order.clear();
      for (const RegValue& value : block.values) order.push_back(value.name);
      std::string prefix;
      for (const std::string& part : splitKey(block.key)) {
        prefix += (prefix.empty() ? "" : "\\") + lowerAscii(part);
        spelling_.emplace(prefix, part);
      }
    }
  }

  bool names(const std::string& key) const { return valueOrder_.count(lowerAscii(key)) != 0; }

  std::string respell(const std::string& key) const {
    std::string result;
    std::string prefix;
    for (const std::string& part : splitKey(key)) {
      prefix += (prefix.empty() ? "" : "\\") + lowerAscii(part);
      const auto found = spelling_.find(prefix);
      result += (result.empty() ? "" : "\\") + (found == spelling_.end() ? part : found->second);
    }
    return result;
  }

  // The values in the case's order, those it does not name after them.
  void reorder(const std::string& key, std::vector<RegValue>& values) const {
    const auto found = valueOrder_.find(lowerAscii(key));
    if (found == valueOrder_.end()) return;
    const std::vector<std::string>& order = found->second;
    auto rank = [&](const RegValue& value) {
      return std::find(order.begin(), order.end(), value.name) - order.begin();
    };
    std::stable_sort(values.begin(), values.end(),
                     [&](const RegValue& a, const RegValue& b) { return rank(a) < rank(b); });
  }

 private:
  std::map<std::string, std::vector<std::string>> valueOrder_;
  std::map<std::string, std::string> spelling_;
};

// Whether `lines` hold a string value given as raw bytes, hex(1): our POSIX
// registry keeps those bytes as they are, where Wine's holds UTF-16 and ends
// every string written through the ANSI functions with a zero. Expected
// values that end with their zero read the same on both.
bool hasRawStringValue(const std::string& lines, bool unterminatedOnly) {
  for (const RegBlock& block : regBlocks(lines)) {
    for (const RegValue& value : block.values) {
      const std::string data = valueData(value.lines);
      if (data.rfind("hex(1):", 0) != 0) continue;
      if (!unterminatedOnly) return true;
      std::string bytes;
      for (char c : data.substr(7)) {
        if (std::isxdigit(static_cast<unsigned char>(c)) || c == ',') bytes += c;
      }
      if (bytes.size() < 2 || bytes.compare(bytes.size() - 2, 2, "00") != 0) return true;
    }
  }
  return false;
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

    const fs::path outPath = scratch_ / "wine.out";
    const fs::path errPath = scratch_ / "wine.err";
    const pid_t pid = fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) exec(argv, env, dir, outPath, errPath);
    int wstatus = 0;
    waitpid(pid, &wstatus, 0);
    Outcome outcome;
    outcome.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    outcome.out = readFile(outPath);
    outcome.err = readFile(errPath);
    return outcome;
  }

 private:
  [[noreturn]] static void exec(const std::vector<std::string>& args,
                                const std::vector<std::string>& env, const fs::path& dir,
                                const fs::path& outPath, const fs::path& errPath) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int in = open("/dev/null", O_RDONLY);
    if (out < 0 || err < 0 || in < 0 || chdir(dir.c_str()) != 0) _exit(125);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> argv;
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (const std::string& entry : env) envp.push_back(const_cast<char*>(entry.c_str()));
    envp.push_back(nullptr);
    execvpe(argv[0], argv.data(), envp.data());
    _exit(127);
  }

  fs::path scratch_;
};

// ---- The backend.

// Variables through which a case steers our POSIX platform layer: Wine has
// its own answer to each (it runs as an administrator, on 64-bit Windows,
// with the installer library beside the program).
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
      if (!fs::exists(bin_ / file)) throw std::runtime_error((bin_ / file).string() + " is missing");
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
    } else if (holdsRawStrings(c)) {
      reason = "gives string data as raw bytes (hex(1)), which Wine's registry keeps as UTF-16, "
               "always terminated";
    } else if (c.expectedStderr && !c.expectedStderr->empty()) {
      reason = "expects message boxes, which the POSIX build writes to stderr";
    } else {
      for (const auto& variable : c.env) {
        if (steersPosixPlatform(variable)) {
          reason = "sets " + variable.first + ", which only the POSIX platform layer reads";
          break;
        }
      }
    }
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
    std::string reg;
    for (const auto& [root, lines] : c.hives) {
      const std::string text = replaceAll(lines, "{DIR}", workDir());
      keys_[root].add(text);
      reg += bodyOf(text) + "\n";
    }
    for (const auto& [root, expected] : c.hivesAfter) {
      keys_[root].add(replaceAll(expected.content, "{DIR}", workDir()));
    }
    if (reg.empty()) return;
    // reg.exe reads hex(2) and hex(7) data as UTF-16 only from a Unicode file.
    reg = "Windows Registry Editor Version 5.00\n\n" + reg;
    writeFile(root_ / "seed.reg", ansiBytesAsUtf16File(replaceAll(reg, "\n", "\r\n")));
    registryDirty_ = true;
    // The 64-bit view, so that WOW6432Node paths land in the 32-bit view; the
    // 32-bit reg.exe, which starts several times faster than the 64-bit one.
    expectSuccess(wine_->run({kReg32, "import", (root_ / "seed.reg").string(), "/reg:64"}, root_),
                  "reg import");
  }

  std::string workDir() const override { return (root_ / "work").string(); }

  RunResult run(const Case& c) override {
    // POSIX paths work as Windows ones: Wine's current drive, Z:, is the root.
    std::vector<std::string> args = {hostPath(), "run", root_.string(),
                                     (bin_ / "dsnconf.exe").string()};
    for (const std::string& arg : c.args) {
      args.push_back(ansiBytesAsUtf8(replaceAll(arg, "{DIR}", workDir())));
    }
    std::vector<std::pair<std::string, std::string>> env;
    for (const auto& [name, value] : c.env) {
      env.emplace_back(name, ansiBytesAsUtf8(replaceAll(value, "{DIR}", workDir())));
    }
    std::error_code ignored;
    for (const char* file : {"exit-code", "HKEY_LOCAL_MACHINE.reg", "HKEY_CURRENT_USER.reg"}) {
      fs::remove(root_ / file, ignored);
    }

    registryDirty_ = true;
    const Outcome outcome = wine_->run(args, root_ / "work", env);
    RunResult result;
    result.out = withoutCarriageReturns(outcome.out);
    result.err = outcome.err;
    std::ifstream exitFile(root_ / "exit-code");
    if (outcome.status != 0 || !(exitFile >> result.status)) {
      result.failure = "the case host failed under Wine (status " +
                       std::to_string(outcome.status) + "): " + outcome.err;
      return result;
    }
    registryDirty_ = false;
    for (Root root : {Root::LocalMachine, Root::CurrentUser}) {
      exported_[root] = readFile(root_ / (std::string(rootFileName(root)) + ".reg"));
    }
    return result;
  }

  std::optional<std::string> readHive(Root root) override {
    const auto found = exported_.find(root);
    if (found == exported_.end()) return std::nullopt;
    std::string text = "Windows Registry Editor Version 5.00\n\n";
    const CaseKeys& keys = keys_[root];
    for (RegBlock& block : regBlocks(found->second)) {
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
      if (isUnder(key, tree)) return true;
    }
    return false;
  }

  static bool namesKeyOutsideOdbcTrees(const Case& c) {
    auto outside = [](Root root, const std::string& lines) {
      for (const std::string& key : keyHeaders(lines)) {
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
      if (hasRawStringValue(lines, false)) return true;
    }
    for (const auto& [root, expected] : c.hivesAfter) {
      if (hasRawStringValue(expected.content, true)) return true;
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
  std::map<Root, CaseKeys> keys_;
  std::map<Root, std::string> exported_;
  mutable std::map<std::string, int> skipped_;
};

}  // namespace

std::unique_ptr<Backend> makeWineBackend() {
  return std::make_unique<WineBackend>();
}

}  // namespace dsnconf::e2e
