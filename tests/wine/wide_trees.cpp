#include "wide_trees.h"

#include <cstdio>
#include <vector>

#include "host_registry.h"

namespace case_host {
namespace {

struct WideValue {
  std::wstring name;
  DWORD type = 0;
  std::vector<BYTE> data;
};

// The value at `index` whole: its size first, then its data.
LONG enumValue(HKEY key, DWORD index, WideValue& value) {
  std::vector<wchar_t> name(kValueNameSize);
  DWORD nameLength = kValueNameSize;
  DWORD size = 0;
  LONG result =
      RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &value.type, nullptr, &size);
  if (result != ERROR_SUCCESS) return result;
  value.data.assign(size + 1, 0);  // never empty: a null buffer asks for the size only
  nameLength = kValueNameSize;
  result = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &value.type,
                         value.data.data(), &size);
  value.data.resize(size);
  value.name.assign(name.data(), nameLength);
  return result;
}

LONG enumKey(HKEY key, DWORD index, std::wstring& name) {
  wchar_t buffer[kKeyNameSize];
  DWORD length = kKeyNameSize;
  const LONG result = RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (result == ERROR_SUCCESS) name.assign(buffer, length);
  return result;
}

std::string hexBytes(const BYTE* data, std::size_t size, const char* separator) {
  std::string out;
  char byte[4];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    if (i != 0) out += separator;
    out += byte;
  }
  return out;
}

std::string hexUnits(const std::wstring& text) {
  std::vector<BYTE> bytes;
  for (wchar_t unit : text) {
    bytes.push_back(static_cast<BYTE>(unit & 0xFF));
    bytes.push_back(static_cast<BYTE>(unit >> 8));
  }
  return hexBytes(bytes.data(), bytes.size(), "");
}

void appendUtf8(std::string& out, unsigned long c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

bool isHigh(wchar_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLow(wchar_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

// UTF-8 of UTF-16 code units; a surrogate without its pair becomes U+FFFD,
// as our POSIX registry reads one from a UTF-16 file. `exact` says whether
// there was none.
std::string utf8(const std::wstring& units, bool* exact = nullptr) {
  std::string out;
  if (exact != nullptr) *exact = true;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const wchar_t unit = units[i];
    if (isHigh(unit) && i + 1 < units.size() && isLow(units[i + 1])) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800UL) << 10) + (units[i + 1] - 0xDC00UL));
      ++i;
    } else if (isHigh(unit) || isLow(unit)) {
      appendUtf8(out, 0xFFFD);
      if (exact != nullptr) *exact = false;
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

// String data as code units; an odd last byte has no unit and is dropped.
std::wstring unitsOf(const std::vector<BYTE>& data) {
  std::wstring units;
  for (std::size_t i = 0; i + 1 < data.size(); i += 2) {
    units += static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
  }
  return units;
}

// ---- The dump.

bool dumpKey(HKEY key, const std::string& tree, const std::wstring& path, std::string& out) {
  out += "key " + tree + " " + hexUnits(path) + " ; " + utf8(path) + "\n";
  WideValue value;
  for (DWORD index = 0;; ++index) {
    const LONG result = enumValue(key, index, value);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    char type[16];
    std::snprintf(type, sizeof type, "%08lx", static_cast<unsigned long>(value.type));
    out += "  value " + hexUnits(value.name) + " type " + type + " data " +
           hexBytes(value.data.data(), value.data.size(), "") + " ; " + utf8(value.name) + "\n";
  }
  std::wstring name;
  for (DWORD index = 0;; ++index) {
    const LONG result = enumKey(key, index, name);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    Key child;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.out()) != ERROR_SUCCESS) return false;
    if (!dumpKey(child.get(), tree, path.empty() ? name : path + L"\\" + name, out)) return false;
  }
  return true;
}

// ---- The UTF-8 .reg text.

// A string that reads back from its quoted form as exactly these units: one
// terminating zero, no other zero or line break, no surrogate without its pair.
bool isQuotable(const std::vector<BYTE>& data, const std::wstring& units) {
  if (data.size() % 2 != 0 || units.empty() || units.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < units.size(); ++i) {
    if (units[i] == 0 || units[i] == L'\r' || units[i] == L'\n') return false;
  }
  bool exact = false;
  utf8(units, &exact);
  return exact;
}

std::string valueLine(const WideValue& value) {
  const std::string line = value.name.empty() ? "@=" : quoted(utf8(value.name)) + "=";
  const std::wstring units = unitsOf(value.data);
  if (value.type == REG_SZ && isQuotable(value.data, units)) {
    return line + quoted(utf8(units.substr(0, units.size() - 1)));
  }
  char type[24];
  if (value.type == REG_DWORD && value.data.size() == 4) {
    const unsigned long dword = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16) |
                                (static_cast<unsigned long>(value.data[3]) << 24);
    std::snprintf(type, sizeof type, "dword:%08lx", dword);
    return line + type;
  }
  std::snprintf(type, sizeof type, "hex(%lx):", static_cast<unsigned long>(value.type));
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
    const std::string text = utf8(units);
    return line + type +
           hexBytes(reinterpret_cast<const BYTE*>(text.data()), text.size(), ",");
  }
  return line + (value.type == REG_BINARY ? "hex:" : type) +
         hexBytes(value.data.data(), value.data.size(), ",");
}

bool exportKey(HKEY key, const std::string& path, std::string& out) {
  out += "[" + path + "]\n";
  WideValue value;
  for (DWORD index = 0;; ++index) {
    const LONG result = enumValue(key, index, value);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    out += valueLine(value) + "\n";
  }
  out += "\n";
  std::wstring name;
  for (DWORD index = 0;; ++index) {
    const LONG result = enumKey(key, index, name);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    Key child;
    if (RegOpenKeyExW(key, name.c_str(), 0, KEY_READ, child.out()) != ERROR_SUCCESS) return false;
    if (!exportKey(child.get(), path + "\\" + utf8(name), out)) return false;
  }
  return true;
}

// Calls `walk` with the tree's ODBC key, where the tree has one.
template <typename Walk>
bool walkTree(const Tree& tree, Walk walk) {
  Key key;
  const LONG result = RegOpenKeyExW(tree.root, L"Software\\ODBC", 0, KEY_READ | tree.view, key.out());
  if (result == ERROR_FILE_NOT_FOUND) return true;
  return result == ERROR_SUCCESS && walk(key.get());
}

}  // namespace

bool dumpTrees(std::string& out) {
  for (const Tree& tree : kTrees) {
    if (!walkTree(tree, [&](HKEY key) { return dumpKey(key, tree.shownAs, L"", out); })) {
      return false;
    }
  }
  return true;
}

bool exportTreesAsUtf8(std::string& machine, std::string& user) {
  for (const Tree& tree : kTrees) {
    std::string& out = tree.root == HKEY_CURRENT_USER ? user : machine;
    if (!walkTree(tree, [&](HKEY key) { return exportKey(key, tree.shownAs, out); })) return false;
  }
  return true;
}

}  // namespace case_host
