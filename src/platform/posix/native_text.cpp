#include "native_text.h"

#include <vector>

#include "base/unicode.h"

namespace dsnconf {
namespace {

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

bool isHighSurrogate(char32_t c) {
  return c >= 0xD800 && c <= 0xDBFF;
}

bool isLowSurrogate(char32_t c) {
  return c >= 0xDC00 && c <= 0xDFFF;
}

// A run of bytes read as one code point, or standing for themselves.
struct Piece {
  std::size_t length;
  char32_t c;
  bool escaped;
};

}  // namespace

std::u16string unitsOfNative(std::string_view bytes) {
  std::vector<Piece> pieces;
  for (std::size_t pos = 0; pos < bytes.size();) {
    char32_t c = 0;
    const std::size_t length = decodeWtf8(bytes, pos, c);
    // A unit of U+DC80 to U+DCFF stands for a byte that is no UTF-8: one
    // written as such stands for its bytes.
    const bool escaped = length == 0 || (c >= 0xDC80 && c <= 0xDCFF);
    pieces.push_back(length == 0 ? Piece{1, 0, true} : Piece{length, c, escaped});
    pos += pieces.back().length;
  }
  // A high surrogate before a low one (written as such, or a byte read as
  // U+DC00 plus the byte) would be read back as the pair's one code point:
  // its bytes stand for themselves instead, which makes it a low one in turn.
  bool lowNext = false;
  for (std::size_t i = pieces.size(); i-- > 0;) {
    Piece& piece = pieces[i];
    if (!piece.escaped && isHighSurrogate(piece.c) && lowNext) piece.escaped = true;
    lowNext = piece.escaped || isLowSurrogate(piece.c);
  }
  std::u16string units;
  units.reserve(bytes.size());
  std::size_t pos = 0;
  for (const Piece& piece : pieces) {
    if (piece.escaped) {
      for (std::size_t i = 0; i < piece.length; ++i) {
        units += static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[pos + i]));
      }
    } else {
      appendUtf16(units, piece.c);
    }
    pos += piece.length;
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
