#include "dsn_file_check.h"

#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <string>

namespace dsnconf::fuzz {
namespace {

constexpr const char* kSection = "ODBC";
// The largest buffer the installer's interface can describe.
constexpr WORD kBufferSize = 0xFFFF;

struct Input {
  std::string content;
  std::string key = "Server";
  std::string value = "db.example.com";
};

Input split(std::string_view input) {
  Input parts;
  const std::size_t last = input.rfind('\0');
  if (last == std::string_view::npos) {
    parts.content = std::string(input);
    return parts;
  }
  const std::size_t before = last == 0 ? std::string_view::npos : input.rfind('\0', last - 1);
  if (before == std::string_view::npos) {
    parts.content = std::string(input.substr(0, last));
    parts.key = std::string(input.substr(last + 1));
    return parts;
  }
  parts.content = std::string(input.substr(0, before));
  parts.key = std::string(input.substr(before + 1, last - before - 1));
  parts.value = std::string(input.substr(last + 1));
  return parts;
}

std::string trimBlanks(const std::string& text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool sameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string readWhole(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWhole(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

class Reader {
 public:
  Reader(const FileDsnInstaller& installer, const std::string& path)
      : installer_(installer), path_(path), buffer_(kBufferSize, '\0') {}

  std::optional<std::string> read(const char* section, const char* key) {
    WORD length = 0;
    if (!installer_.readFileDsn(path_.c_str(), section, key, buffer_.data(), kBufferSize,
                                &length)) {
      return std::nullopt;
    }
    return std::string(buffer_.c_str());
  }

  // Every key of section ODBC with its value, the first of equal names.
  std::map<std::string, std::string> values() {
    std::map<std::string, std::string> result;
    std::optional<std::string> names = read(kSection, nullptr);
    if (!names) return result;
    std::size_t start = 0;
    while (start <= names->size()) {
      std::size_t end = names->find(';', start);
      if (end == std::string::npos) end = names->size();
      const std::string name = names->substr(start, end - start);
      if (!name.empty()) {
        std::optional<std::string> value = read(kSection, name.c_str());
        result[name] = value ? *value : std::string("<unreadable>");
      }
      start = end + 1;
    }
    return result;
  }

 private:
  const FileDsnInstaller& installer_;
  const std::string& path_;
  std::string buffer_;
};

// Every key but `changed` keeps its value.
std::string compareOthers(const std::map<std::string, std::string>& before,
                          const std::map<std::string, std::string>& after,
                          const std::string& changed, const char* what) {
  for (const auto& [name, value] : before) {
    if (sameName(name, changed)) continue;
    auto found = after.find(name);
    if (found == after.end()) return std::string(what) + " lost key '" + name + "'";
    if (found->second != value) return std::string(what) + " changed key '" + name + "'";
  }
  for (const auto& [name, value] : after) {
    if (!sameName(name, changed) && before.count(name) == 0) {
      return std::string(what) + " added key '" + name + "'";
    }
  }
  return {};
}

}  // namespace

std::string checkFileDsn(std::string_view input, const FileDsnInstaller& installer,
                         const std::string& scratchPath) {
  const Input parts = split(input);
  writeWhole(scratchPath, parts.content);
  Reader reader(installer, scratchPath);
  reader.read(nullptr, nullptr);
  reader.read(kSection, "SYSTEM");
  const std::map<std::string, std::string> before = reader.values();

  // Setting.
  if (!installer.writeFileDsn(scratchPath.c_str(), kSection, parts.key.c_str(),
                              parts.value.c_str())) {
    if (readWhole(scratchPath) != parts.content) return "a refused change altered the file";
    return {};
  }
  std::optional<std::string> readBack = reader.read(kSection, parts.key.c_str());
  if (!readBack) return "a key that was set cannot be read";
  if (*readBack != trimBlanks(parts.value)) return "a key that was set reads back otherwise";
  const std::map<std::string, std::string> afterSet = reader.values();
  std::string problem = compareOthers(before, afterSet, parts.key, "setting a key");
  if (!problem.empty()) return problem;

  // Removing.
  const std::string setContent = readWhole(scratchPath);
  if (!installer.writeFileDsn(scratchPath.c_str(), kSection, parts.key.c_str(), nullptr)) {
    if (readWhole(scratchPath) != setContent) return "a refused removal altered the file";
    return "a key that could be set cannot be removed";
  }
  if (reader.read(kSection, parts.key.c_str())) return "a removed key can still be read";
  return compareOthers(afterSet, reader.values(), parts.key, "removing a key");
}

}  // namespace dsnconf::fuzz
