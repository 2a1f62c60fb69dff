#include "wide_text.h"

namespace dsnconf {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool isEncodable(char32_t c) {
  return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
}

// Decodes one sequence at `pos`; returns its length, 0 when it is malformed.
std::size_t decodeOne(const std::string& text, std::size_t pos, char32_t& c) {
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
  // Overlong forms and surrogates are not well-formed.
  return c >= minimum && isEncodable(c) ? length : 0;
}

}  // namespace

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

std::string toUtf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) appendUtf8(out, static_cast<char32_t>(c));
  return out;
}

std::string utf8FromUtf16Le(std::string_view bytes) {
  const std::size_t units = bytes.size() / 2;
  const auto unitAt = [&](std::size_t i) {
    return static_cast<char32_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                 static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
  };
  std::string out;
  out.reserve(units);
  for (std::size_t i = 0; i < units; ++i) {
    const char32_t unit = unitAt(i);
    if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < units) {
      const char32_t low = unitAt(i + 1);
      if (low >= 0xDC00 && low < 0xE000) {
        appendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    appendUtf8(out, unit);
  }
  return out;
}

std::wstring fromUtf8(const std::string& text) {
  std::wstring out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c;
    const std::size_t length = decodeOne(text, pos, c);
    out += static_cast<wchar_t>(length == 0 ? kReplacement : c);
    pos += length == 0 ? 1 : length;
  }
  return out;
}

}  // namespace dsnconf
