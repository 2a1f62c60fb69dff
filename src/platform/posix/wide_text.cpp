#include "wide_text.h"

namespace dsnconf {

std::string toUtf8(const std::wstring& text) {
  std::string out;
  for (const wchar_t c : text) appendUtf8(out, static_cast<char32_t>(c));
  return out;
}

std::wstring fromUtf8(const std::string& text) {
  std::wstring out;
  for (std::size_t pos = 0; pos < text.size();) {
    char32_t c = 0;
    const std::size_t length = decodeUtf8(text, pos, c);
    out += static_cast<wchar_t>(length == 0 ? 0xFFFD : c);
    pos += length == 0 ? 1 : length;
  }
  return out;
}

}  // namespace dsnconf
