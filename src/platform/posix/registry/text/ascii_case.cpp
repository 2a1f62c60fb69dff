#include "registry/text/ascii_case.h"

#include <algorithm>

namespace dsnconf::posix {

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

bool lessIgnoreCase(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(foldCase(a[i]));
    auto y = static_cast<unsigned char>(foldCase(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::size_t IgnoreCaseHash::operator()(const std::string& name) const {
  // FNV-1a over the folded bytes.
  std::size_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(foldCase(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

}  // namespace dsnconf::posix
