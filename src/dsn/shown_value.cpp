#include "dsn/shown_value.h"

#include <cstdint>
#include <cstdio>

#include "base/unicode.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

// Text a line can show as it is: well-formed, no zero, no line break or
// other control character but the tab.
bool isLineText(std::u16string_view units) {
  for (const char16_t unit : units) {
    if (unit < 0x20 && unit != u'\t') return false;
  }
  return isWellFormedUtf16(units);
}

std::string quoted(std::u16string_view units) {
  return "'" + utf16ToWtf8(units) + "'";
}

// REG_SZ or REG_EXPAND_SZ data, quoted, where it is exactly one terminated
// line of text.
bool showString(const std::string& data, std::string& shown) {
  bool exact = false;
  const std::string text = stringJsonText(data, exact);
  if (!exact) return false;
  for (const char c : text) {
    if (static_cast<unsigned char>(c) < 0x20 && c != '\t') return false;
  }
  shown.reserve(text.size() + 2);
  shown = "'";
  shown += text;
  shown += '\'';
  return true;
}

// REG_MULTI_SZ data: each string terminated, then one more terminator.
bool showStrings(const std::string& data, std::string& shown) {
  if (data.size() < 2 || data.size() % 2 != 0) return false;
  const std::u16string units = utf16LeUnits(data);
  if (units == std::u16string(1, u'\0')) {
    shown = "(empty)";
    return true;
  }
  if (units.size() < 3 || units.compare(units.size() - 2, 2, std::u16string(2, u'\0')) != 0) {
    return false;
  }
  shown.clear();
  std::size_t start = 0;
  while (start < units.size() - 1) {
    const std::size_t end = units.find(u'\0', start);
    const std::u16string_view item(units.data() + start, end - start);
    if (item.empty() || !isLineText(item)) return false;
    shown += (shown.empty() ? "" : " ") + quoted(item);
    start = end + 1;
  }
  return true;
}

bool showNumber(const RegistryValue& value, std::string& shown) {
  const std::size_t size = value.type == REG_QWORD ? 8 : 4;
  if (value.data.size() != size) return false;
  std::uint64_t number = 0;
  for (std::size_t i = 0; i < size; ++i) {
    const std::size_t at = value.type == REG_DWORD_BIG_ENDIAN ? i : size - 1 - i;
    number = (number << 8) | static_cast<unsigned char>(value.data[at]);
  }
  char text[48];
  std::snprintf(text, sizeof text, "%llu (0x%0*llx)", static_cast<unsigned long long>(number),
                static_cast<int>(size * 2), static_cast<unsigned long long>(number));
  shown = text;
  return true;
}

std::string hexShown(const std::string& data) {
  std::string shown = "hex:";
  const std::string digits = hexBytes(data);
  for (std::size_t i = 0; i < digits.size(); i += 2) {
    if (i > 0) shown += ',';
    shown.append(digits, i, 2);
  }
  return shown;
}

// The data as the type reads best, or false for the hex form.
bool showData(const RegistryValue& value, std::string& shown) {
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return showString(value.data, shown);
    case REG_MULTI_SZ:
      return showStrings(value.data, shown);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
    case REG_QWORD:
      return showNumber(value, shown);
    default:
      return false;
  }
}

}  // namespace

std::string shownData(const RegistryValue& value, PasswordData passwords) {
  // A string as view prints it; everything else says its type.
  const std::string type = value.type == REG_SZ ? "" : registryTypeName(value.type) + " ";
  if (passwords == PasswordData::LeftOut && isPasswordProperty(value.name)) {
    return type + kPasswordMask;
  }
  std::string shown;
  if (showData(value, shown)) return type + shown;
  return registryTypeName(value.type) + " " + hexShown(value.data);
}

std::string shownValue(const RegistryValue& value, PasswordData passwords) {
  return "'" + value.name + "' = " + shownData(value, passwords);
}

}  // namespace dsnconf
