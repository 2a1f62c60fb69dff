#include "registry/text/reg_decoding.h"

#include <cstdint>
#include <string_view>
#include <utility>

#include "registry/text/text_scan.h"
#include "base/unicode.h"

namespace dsnconf::posix {

namespace {

bool decodeUtf16(const std::string& bytes, bool littleEndian, std::string& text,
                 std::string& error) {
  const std::size_t units = (bytes.size() - 2) / 2;
  auto unitAt = [&](std::size_t i) -> std::uint32_t {
    auto lo = static_cast<unsigned char>(bytes[2 + 2 * i + (littleEndian ? 0 : 1)]);
    auto hi = static_cast<unsigned char>(bytes[2 + 2 * i + (littleEndian ? 1 : 0)]);
    return static_cast<std::uint32_t>(hi) << 8 | lo;
  };
  text.clear();
  text.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    std::uint32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
      std::uint32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low < 0xE000) {
        appendUtf8(text, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    // A surrogate without its pair becomes U+FFFD.
    appendUtf8(text, unit);
  }
  if (bytes.size() % 2 != 0) {
    std::size_t line = 1;
    for (char c : text) line += c == '\n' ? 1 : 0;
    error = lineError(line, "the UTF-16 text ends in half a character");
    return false;
  }
  return true;
}

}  // namespace

bool decodeRegFile(std::string fileBytes, DecodedRegText& decoded, std::string& error) {
  auto startsWith = [&](std::string_view bom) {
    return fileBytes.compare(0, bom.size(), bom) == 0;
  };
  if (startsWith("\xEF\xBB\xBF")) {
    decoded.encoding = RegTextEncoding::Bytes;
    decoded.prefixBytes = 3;
    decoded.text = fileBytes.substr(3);
    return true;
  }
  if (startsWith("\xFF\xFE") || startsWith("\xFE\xFF")) {
    decoded.encoding = RegTextEncoding::Utf16;
    decoded.prefixBytes = 2;
    return decodeUtf16(fileBytes, fileBytes[0] == '\xFF', decoded.text, error);
  }
  decoded.encoding = RegTextEncoding::Bytes;
  decoded.prefixBytes = 0;
  decoded.text = std::move(fileBytes);
  return true;
}

}  // namespace dsnconf::posix
