#include "native_text.h"

#include "base/unicode.h"

namespace dsnconf {
namespace {

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

std::u16string unitsOfNative(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size());
  for (std::size_t pos = 0; pos < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = decodeUtf8(bytes, pos, c);
    if (length == 0) {
      units += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[pos]));
      ++pos;
      continue;
    }
    appendUtf16(units, c);
    pos += length;
  }
  return units;
}

// The units U+DC80 to U+DCFF on their own are the bytes they stand for.
std::string nativeBytesOfUnits(std::u16string_view units) {
  std::string bytes;
  bytes.reserve(units.size());
  std::size_t start = 0;
  for (std::size_t i = 0; i <= units.size(); ++i) {
    const bool escaped = i < units.size() && units[i] >= 0xDC80 && units[i] <= 0xDCFF &&
                         (i == 0 || units[i - 1] < 0xD800 || units[i - 1] > 0xDBFF);
    if (!escaped && i < units.size()) continue;
    bytes += utf16ToWtf8(units.substr(start, i - start));
    if (escaped) bytes += static_cast<char>(units[i] - 0xDC00);
    start = i + 1;
  }
  return bytes;
}

std::string textOf(const std::string& bytes) {
  return isAscii(bytes) ? bytes : utf16ToWtf8(unitsOfNative(bytes));
}

std::string nativeBytes(const std::string& text) {
  return isAscii(text) ? text : nativeBytesOfUnits(wtf8ToUtf16(text));
}

}  // namespace dsnconf
