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

namespace {

bool isAscii(const std::string& text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool isHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit <= 0xDBFF;
}

bool isLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit <= 0xDFFF;
}

}  // namespace

std::string jsonText(const std::string& text, bool& exact) {
  exact = true;
  // Most names are plain ASCII, which is UTF-8 as it is.
  if (isAscii(text)) return text;
  const std::u16string units = wtf8ToUtf16(text);
  exact = isWellFormedUtf16(units);
  return exact ? text : utf16ToUtf8(units);
}

std::string stringJsonText(const std::string& data, bool& exact) {
  const std::size_t units = data.size() / 2;
  const auto unitAt = [&data](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(data[2 * i]) |
                                 static_cast<unsigned char>(data[2 * i + 1]) << 8);
  };
  std::string text;
  text.reserve(units);
  exact = data.size() % 2 == 0;
  std::size_t i = 0;
  for (; i < units; ++i) {
    char32_t c = unitAt(i);
    if (c == 0) break;
    if (c < 0x80) {
      text += static_cast<char>(c);
      continue;
    }
    if (isHighSurrogate(c) && i + 1 < units && isLowSurrogate(unitAt(i + 1))) {
      c = 0x10000 + ((c - 0xD800) << 10) + (unitAt(++i) - 0xDC00);
    } else if (isHighSurrogate(c) || isLowSurrogate(c)) {
      c = 0xFFFD;
      exact = false;
    }
    appendUtf8(text, c);
  }
  // The first zero unit must be the data's last.
  exact = exact && i + 1 == units;
  return text;
}

std::string nameBytes(const std::string& name) {
  return hexBytes(utf16LeBytes(wtf8ToUtf16(name)));
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
