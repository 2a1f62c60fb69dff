#include "case_file.h"

#include <fstream>
#include <stdexcept>

namespace dsnconf::e2e {

const char* rootFileName(Root root) {
  return root == Root::LocalMachine ? "HKEY_LOCAL_MACHINE" : "HKEY_CURRENT_USER";
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos;
       at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
  return text;
}

std::vector<std::string> splitArguments(const std::string& line) {
  std::vector<std::string> args;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    if (i >= line.size()) break;
    std::string arg;
    while (i < line.size() && line[i] != ' ') {
      if (line[i] != '"') {
        arg += line[i++];
        continue;
      }
      for (++i; i < line.size() && line[i] != '"'; ++i) {
        if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
          ++i;
        }
        arg += line[i];
      }
      if (i >= line.size()) throw std::runtime_error("unterminated quote in: " + line);
      ++i;
    }
    args.push_back(arg);
  }
  return args;
}

namespace {

class Reader {
 public:
  explicit Reader(const std::string& path) : path_(path), in_(path) {
    if (!in_) throw std::runtime_error("cannot read " + path);
  }

  bool nextLine(std::string& line) {
    if (!std::getline(in_, line)) return false;
    ++number_;
    return true;
  }

  // The lines up to a line "end", each with its newline.
  std::string block() {
    std::string text;
    std::string line;
    while (nextLine(line)) {
      if (line == "end") return text;
      text += line + "\n";
    }
    fail("block not closed by \"end\"");
  }

  std::string where() const { return path_ + ":" + std::to_string(number_); }
  [[noreturn]] void fail(const std::string& message) const {
    throw std::runtime_error(where() + ": " + message);
  }

 private:
  std::string path_;
  std::ifstream in_;
  int number_ = 0;
};

Root parseRoot(const std::string& word, const Reader& reader) {
  if (word == "HKLM") return Root::LocalMachine;
  if (word == "HKCU") return Root::CurrentUser;
  reader.fail("unknown root " + word + " (HKLM or HKCU)");
}

// "<word> <rest>" split at the first blank.
std::pair<std::string, std::string> splitWord(const std::string& text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string::npos) return {text, ""};
  return {text.substr(0, blank), text.substr(blank + 1)};
}

Expected expectedAfter(const std::string& qualifier, Reader& reader) {
  Expected expected;
  if (qualifier == "unchanged") return expected;
  if (qualifier == "absent") {
    expected.kind = Expected::Kind::Absent;
    return expected;
  }
  if (!qualifier.empty() && qualifier != "utf16") {
    reader.fail("expected \"unchanged\", \"absent\", \"utf16\" or a block");
  }
  expected.kind = Expected::Kind::Content;
  expected.utf16 = qualifier == "utf16";
  expected.content = reader.block();
  return expected;
}

// What a run must print and return is said after its run line.
Step& currentStep(Case& c, const Reader& reader) {
  if (c.steps.empty()) reader.fail("stdout, stderr and status follow a run line");
  return c.steps.back();
}

void applyDirective(const std::string& line, Case& c, Reader& reader) {
  const auto [directive, rest] = splitWord(line);
  if (directive == "env") {
    const std::size_t equals = rest.find('=');
    if (equals == std::string::npos) reader.fail("env needs NAME=VALUE");
    c.env.emplace_back(rest.substr(0, equals), rest.substr(equals + 1));
  } else if (directive == "wine:") {
    const auto [what, reason] = splitWord(rest);
    if (what == "unicode" && reason.empty()) {
      c.wineUnicode = true;
    } else {
      if (what != "skip") reader.fail("expected \"wine: skip <reason>\" or \"wine: unicode\"");
      c.wineSkip = reason;
      if (c.wineSkip.empty()) reader.fail("wine: skip needs a reason");
    }
  } else if (directive == "hive") {
    c.hives[parseRoot(rest, reader)] += reader.block();
  } else if (directive == "file") {
    c.files[rest] = reader.block();
  } else if (directive == "run") {
    c.steps.push_back(Step{splitArguments(rest), "", std::nullopt, 0});
  } else if (directive == "stdout") {
    currentStep(c, reader).expectedStdout = reader.block();
  } else if (directive == "stderr") {
    currentStep(c, reader).expectedStderr = reader.block();
  } else if (directive == "status") {
    currentStep(c, reader).expectedStatus = std::stoll(rest);
  } else if (directive == "hive-after") {
    const auto [root, qualifier] = splitWord(rest);
    c.hivesAfter[parseRoot(root, reader)] = expectedAfter(qualifier, reader);
  } else if (directive == "file-after") {
    const auto [path, qualifier] = splitWord(rest);
    c.filesAfter[path] = expectedAfter(qualifier, reader);
  } else {
    reader.fail("unknown directive " + directive);
  }
}

}  // namespace

std::vector<Case> parseCaseFile(const std::string& path) {
  Reader reader(path);
  Case shared;
  std::vector<Case> cases;
  Case* current = &shared;
  std::string line;
  while (reader.nextLine(line)) {
    if (line.empty() || line[0] == '#') continue;
    if (line.rfind("case: ", 0) == 0) {
      cases.push_back(shared);
      current = &cases.back();
      current->title = line.substr(6);
      current->source = reader.where();
      continue;
    }
    applyDirective(line, *current, reader);
  }
  for (const Case& c : cases) {
    if (c.steps.empty()) throw std::runtime_error(c.source + ": case has no run line");
  }
  return cases;
}

}  // namespace dsnconf::e2e
