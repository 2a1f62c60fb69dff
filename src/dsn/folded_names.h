// Maps keyed by registry names as the registry compares them, ASCII case
// aside, without folded copies: a key is a view of a name held elsewhere
// (the inventory's), which must outlive the map.
#pragma once

#include <cstddef>
#include <string_view>
#include <unordered_map>

namespace dsnconf {

inline char foldedChar(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

struct FoldedNameHash {
  std::size_t operator()(std::string_view name) const noexcept {
    // FNV-1a over the folded bytes.
    std::size_t hash = 14695981039346656037ull & static_cast<std::size_t>(-1);
    for (char c : name) {
      hash ^= static_cast<unsigned char>(foldedChar(c));
      hash *= static_cast<std::size_t>(1099511628211ull);
    }
    return hash;
  }
};

struct FoldedNameEqual {
  bool operator()(std::string_view a, std::string_view b) const noexcept {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
      if (foldedChar(a[i]) != foldedChar(b[i])) return false;
    }
    return true;
  }
};

template <typename T>
using FoldedNameMap = std::unordered_map<std::string_view, T, FoldedNameHash, FoldedNameEqual>;

}  // namespace dsnconf
