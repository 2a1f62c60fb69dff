// The small steps of reading .reg text: blanks, hex digits, prefixes such as
// dword: compared without regard to case, and messages that name the line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "registry/text/ascii_case.h"
#include "win32.h"

namespace dsnconf::posix {

inline bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

inline std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

inline std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

inline std::string_view trim(std::string_view s) {
  return trimRight(trimLeft(s));
}

inline bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (foldCase(s[i]) != foldCase(prefix[i])) return false;
  }
  return true;
}

inline int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads 1 to 8 hex digits as a number; false for anything else.
inline bool parseHexNumber(std::string_view digits, DWORD& number) {
  if (digits.empty() || digits.size() > 8) return false;
  number = 0;
  for (char c : digits) {
    int d = hexDigit(c);
    if (d < 0) return false;
    number = (number << 4) | static_cast<DWORD>(d);
  }
  return true;
}

inline std::string lineError(std::size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

}  // namespace dsnconf::posix
