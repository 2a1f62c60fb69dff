#include "base/unicode.h"

namespace dsnconf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isEncodable(char32_t c) {
  return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

bool isHighSurrogate(char32_t unit) {
  return unit >= 0xD800 && unit < 0xDC00;
}

bool isLowSurrogate(char32_t unit) {
  return unit >= 0xDC00 && unit < 0xE000;
}

// Walks UTF-16 code units, pairing surrogates, and hands each code point on.
template <typename UnitAt, typename Emit>
void decodeUtf16(std::size_t units, UnitAt unitAt, Emit emit) {
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = unitAt(i);
    if (isHighSurrogate(unit) && i + 1 < units && isLowSurrogate(unitAt(i + 1))) {
      emit(0x10000 + ((unit - 0xD800) << 10) + (unitAt(i + 1) - 0xDC00));
      ++i;
      continue;
    }
    emit(unit);
  }
}

}  // namespace

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    out += static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10));
    out += static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF));
  }
}

void appendUtf8(std::string& out, char32_t c) {
  if (!isEncodable(c)) c = kReplacement;
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

std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& c) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length;
  char32_t minimum;
  if (lead < 0x80) {
    c = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2, minimum = 0x80, c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, minimum = 0x800, c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, minimum = 0x10000, c = lead & 0x07;
  } else {
    return 0;
  }
  if (text.size() - pos < length) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
    c = (c << 6) | (byte(pos + i) & 0x3F);
  }
  return c >= minimum && isEncodable(c) ? length : 0;
}

std::string utf16ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  decodeUtf16(
      text.size(), [&](std::size_t i) { return static_cast<char32_t>(text[i]); },
      [&](char32_t c) { appendUtf8(out, c); });
  return out;
}

std::string utf8FromUtf16Le(std::string_view bytes) {
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  std::string out;
  out.reserve(bytes.size() / 2);
  decodeUtf16(bytes.size() / 2, unitAt, [&](char32_t c) { appendUtf8(out, c); });
  return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = kReplacement;
    const std::size_t length = decodeUtf8(text, pos, c);
    if (length == 0) c = kReplacement;
    pos += length == 0 ? 1 : length;
    appendUtf16(out, c);
  }
  return out;
}

std::string utf16ToWtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size());
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char32_t unit = units[i];
    if (isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (units[i + 1] - 0xDC00));
      ++i;
    } else if (isHighSurrogate(unit) || isLowSurrogate(unit)) {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      appendUtf8(out, unit);
    }
  }
  return out;
}

std::size_t decodeWtf8(std::string_view text, std::size_t pos, char32_t& c) {
  const std::size_t length = decodeUtf8(text, pos, c);
  if (length != 0) return length;
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  if (byte(pos) == 0xED && text.size() - pos >= 3 && (byte(pos + 1) & 0xE0) == 0xA0 &&
      (byte(pos + 2) & 0xC0) == 0x80) {
    c = 0xD000 | ((byte(pos + 1) & 0x3F) << 6) | (byte(pos + 2) & 0x3F);
    return 3;
  }
  return 0;
}

std::u16string wtf8ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t pos = 0; pos < text.size();) {
    // Most names and values are ASCII: one unit each, nothing to decode.
    if (static_cast<unsigned char>(text[pos]) < 0x80) {
      out += static_cast<char16_t>(text[pos++]);
      continue;
    }
    char32_t c = kReplacement;
    const std::size_t length = decodeWtf8(text, pos, c);
    if (length == 0) c = kReplacement;
    pos += length == 0 ? 1 : length;
    appendUtf16(out, c);
  }
  return out;
}

bool isWellFormedUtf16(std::u16string_view units) {
  for (std::size_t i = 0; i < units.size(); ++i) {
    if (isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      ++i;
    } else if (isHighSurrogate(units[i]) || isLowSurrogate(units[i])) {
      return false;
    }
  }
  return true;
}

std::string utf16LeBytes(std::u16string_view units) {
  std::string bytes(units.size() * 2, '\0');
  for (std::size_t i = 0; i < units.size(); ++i) {
    bytes[2 * i] = static_cast<char>(units[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<char>(units[i] >> 8);
  }
  return bytes;
}

std::u16string utf16LeUnits(std::string_view bytes) {
  std::u16string units;
  units.reserve(bytes.size() / 2);
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    units += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                   static_cast<unsigned char>(bytes[i + 1]) << 8);
  }
  return units;
}

}  // namespace dsnconf
