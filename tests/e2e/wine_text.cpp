#include "wine_text.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "base/unicode.h"

namespace dsnconf::e2e::wine {
namespace {

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

std::string lowerAscii(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::vector<std::string> splitKey(const std::string& key) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t slash; (slash = key.find('\\', start)) != std::string::npos; start = slash + 1) {
    parts.push_back(key.substr(start, slash - start));
  }
  parts.push_back(key.substr(start));
  return parts;
}

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

}  // namespace

std::string ansiBytesAsUtf8(const std::string& bytes) {
  std::string out;
  for (unsigned char byte : bytes) appendUtf8(out, fromCp1252(byte));
  return out;
}

std::string ansiBytesAsUtf16File(const std::string& bytes) {
  std::string out = "\xFF\xFE";
  for (unsigned char byte : bytes) {
    const char32_t c = fromCp1252(byte);
    out += static_cast<char>(c & 0xFF);
    out += static_cast<char>(c >> 8);
  }
  return out;
}

std::string utf8AsUtf16File(const std::string& text) {
  return "\xFF\xFE" + utf16LeBytes(utf8ToUtf16(text));
}

std::string withoutCarriageReturns(const std::string& text) {
  return replaceAll(text, "\r\n", "\n");
}

std::vector<std::string> odbcTrees(Root root) {
  if (root == Root::LocalMachine) {
    return {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC",
            "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC"};
  }
  return {"HKEY_CURRENT_USER\\SOFTWARE\\ODBC"};
}

bool isUnder(const std::string& key, const std::string& tree) {
  const std::string k = lowerAscii(key);
  const std::string t = lowerAscii(tree);
  return k == t || k.rfind(t + "\\", 0) == 0;
}

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

void CaseKeys::add(const std::string& lines) {
  for (const RegBlock& block : regBlocks(lines)) {
    if (block.key.front() == '-') continue;
    std::vector<std::string>& order = valueOrder_[lowerAscii(block.key)];
    order.clear();
    for (const RegValue& value : block.values) order.push_back(value.name);
    std::string prefix;
    for (const std::string& part : splitKey(block.key)) {
      prefix += (prefix.empty() ? "" : "\\") + lowerAscii(part);
      spelling_.emplace(prefix, part);
    }
  }
}

bool CaseKeys::names(const std::string& key) const {
  return valueOrder_.count(lowerAscii(key)) != 0;
}

std::string CaseKeys::respell(const std::string& key) const {
  std::string result;
  std::string prefix;
  for (const std::string& part : splitKey(key)) {
    prefix += (prefix.empty() ? "" : "\\") + lowerAscii(part);
    const auto found = spelling_.find(prefix);
    result += (result.empty() ? "" : "\\") + (found == spelling_.end() ? part : found->second);
  }
  return result;
}

void CaseKeys::reorder(const std::string& key, std::vector<RegValue>& values) const {
  const auto found = valueOrder_.find(lowerAscii(key));
  if (found == valueOrder_.end()) return;
  const std::vector<std::string>& order = found->second;
  auto rank = [&](const RegValue& value) {
    return std::find(order.begin(), order.end(), value.name) - order.begin();
  };
  std::stable_sort(values.begin(), values.end(),
                   [&](const RegValue& a, const RegValue& b) { return rank(a) < rank(b); });
}

}  // namespace dsnconf::e2e::wine
