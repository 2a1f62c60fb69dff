#include "dsn/value_text.h"

#include <cstdint>
#include <cstdio>
#include <iterator>
#include <vector>

#include "base/unicode.h"

namespace dsnconf {

namespace {

const char* const kTypeNames[] = {
    "REG_NONE",
    "REG_SZ",
    "REG_EXPAND_SZ",
    "REG_BINARY",
    "REG_DWORD",
    "REG_DWORD_BIG_ENDIAN",
    "REG_LINK",
    "REG_MULTI_SZ",
    "REG_RESOURCE_LIST",
    "REG_FULL_RESOURCE_DESCRIPTOR",
    "REG_RESOURCE_REQUIREMENTS_LIST",
    "REG_QWORD",
};

}  // namespace

std::string registryTypeName(DWORD type) {
  if (type < std::size(kTypeNames)) return kTypeNames[type];
  char name[32];
  std::snprintf(name, sizeof name, "REG_0x%08lx", static_cast<unsigned long>(type));
  return name;
}

bool isPlainString(const std::string& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = utf16LeUnits(data);
  return units.find_first_of(std::u16string(u"\0\r\n", 3)) == units.size() - 1;
}

std::string jsonText(const std::string& text, bool& exact) {
  const std::u16string units = wtf8ToUtf16(text);
  exact = isWellFormedUtf16(units);
  return exact ? text : utf16ToUtf8(units);
}

std::string nameBytes(const std::string& name) {
  return hexBytes(utf16LeBytes(wtf8ToUtf16(name)));
}

namespace {

std::uint64_t littleEndianNumber(const std::string& bytes) {
  std::uint64_t number = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    number = (number << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return number;
}

// The strings of REG_MULTI_SZ data where they say all of it.
bool multiStrings(const std::string& data, std::vector<std::string>& strings) {
  const std::u16string units = utf16LeUnits(data);
  if (data.size() % 2 != 0 || !isWellFormedUtf16(units)) return false;
  std::u16string rebuilt;
  for (std::size_t start = 0; start < units.size();) {
    const std::size_t end = units.find(u'\0', start);
    if (end == std::u16string::npos || end == start) break;
    strings.push_back(utf16ToWtf8(units.substr(start, end - start)));
    rebuilt += units.substr(start, end - start + 1);
    start = end + 1;
  }
  if (!units.empty()) rebuilt += u'\0';
  return rebuilt == units;
}

}  // namespace

std::string displayValue(const RegistryValue& value) {
  const std::string type = " (" + registryTypeName(value.type) + ")";
  bool exact = false;
  if (value.type == REG_SZ || value.type == REG_EXPAND_SZ) {
    const std::string text = value.text();
    jsonText(text, exact);
    if (exact && value.data == stringData(text)) {
      return "'" + text + "'" + (value.type == REG_SZ ? "" : type);
    }
  } else if (value.type == REG_MULTI_SZ) {
    std::vector<std::string> strings;
    if (multiStrings(value.data, strings)) {
      std::string shown;
      for (const std::string& text : strings) shown += (shown.empty() ? "'" : ", '") + text + "'";
      return (shown.empty() ? "none" : shown) + type;
    }
  } else if ((value.type == REG_DWORD && value.data.size() == 4) ||
             (value.type == REG_QWORD && value.data.size() == 8)) {
    return std::to_string(littleEndianNumber(value.data)) + type;
  }
  return "hex:" + hexBytes(value.data) + type;
}

std::optional<DWORD> registryTypeOfName(const std::string& name) {
  for (DWORD type = 0; type < std::size(kTypeNames); ++type) {
    if (name == kTypeNames[type]) return type;
  }
  unsigned long number = 0;
  int consumed = 0;
  if (name.size() == 14 && std::sscanf(name.c_str(), "REG_0x%8lx%n", &number, &consumed) == 1 &&
      consumed == 14) {
    return static_cast<DWORD>(number);
  }
  return std::nullopt;
}

std::optional<std::string> bytesOfHex(const std::string& hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  const auto digit = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  std::string bytes;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    const int high = digit(hex[i]);
    const int low = digit(hex[i + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high << 4 | low);
  }
  return bytes;
}

std::string hexBytes(const std::string& data) {
  static const char kDigits[] = "0123456789abcdef";
  std::string out;
  out.reserve(data.size() * 2);
  for (const char byte : data) {
    const auto b = static_cast<unsigned char>(byte);
    out += kDigits[b >> 4];
    out += kDigits[b & 0x0F];
  }
  return out;
}

std::string odbcIniPathOf(const Place& place, bool twoMachineViews) {
  if (place.scope == Scope::User) return "HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI";
  const bool redirected = place.view == MachineView::Bit32 && twoMachineViews;
  return redirected ? "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI"
                    : "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI";
}

}  // namespace dsnconf
