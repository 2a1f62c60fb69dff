// Registry names compare without regard to ASCII case and keep the case they
// were created with.
#pragma once

#include <cstddef>
#include <string>

namespace dsnconf::posix {

// ASCII case folding, the only folding registry names get here.
inline char foldCase(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}
bool equalsIgnoreCase(const std::string& a, const std::string& b);
// Orders two names as their case-folded bytes compare.
bool lessIgnoreCase(const std::string& a, const std::string& b);

struct IgnoreCaseHash {
  std::size_t operator()(const std::string& name) const;
};
struct IgnoreCaseEqual {
  bool operator()(const std::string& a, const std::string& b) const {
    return equalsIgnoreCase(a, b);
  }
};

}  // namespace dsnconf::posix
