#include "registry/text/hex_data.h"

#include <cstddef>

#include "registry/text/text_scan.h"
#include "registry/text/value_types.h"
#include "base/unicode.h"

namespace dsnconf::posix {

namespace {

// The bytes of one line of hex data; a trailing comma (or no bytes at all)
// leaves one empty item at the end, any other empty item is an error.
bool appendHexBytes(std::string_view part, std::size_t number, std::string& data,
                    std::string& error) {
  std::size_t start = 0;
  while (true) {
    std::size_t comma = part.find(',', start);
    bool last = comma == std::string_view::npos;
    std::string_view token =
        trim(part.substr(start, last ? std::string_view::npos : comma - start));
    if (token.empty()) {
      if (last) return true;
      error = lineError(number, "empty byte in hex data");
      return false;
    }
    DWORD byte = 0;
    if (token.size() > 2 || !parseHexNumber(token, byte)) {
      error = lineError(number, "hex data bytes must be two hex digits");
      return false;
    }
    data += static_cast<char>(byte);
    if (last) return true;
    start = comma + 1;
  }
}

}  // namespace

bool readDwordData(const Line& line, std::string_view digits, DWORD& type, std::string& data,
                   std::string& error) {
  std::size_t comment = digits.find(';');
  digits = trimRight(digits.substr(0, comment));
  DWORD number = 0;
  if (!parseHexNumber(digits, number)) {
    error = lineError(line.number, "dword: needs 1 to 8 hex digits");
    return false;
  }
  type = REG_DWORD;
  for (int i = 0; i < 4; ++i) data += static_cast<char>((number >> (8 * i)) & 0xFF);
  return true;
}

bool readHexList(const Line& first, std::string_view part, LineCursor& cursor, std::string& data,
                 std::string& error) {
  std::size_t number = first.number;
  while (true) {
    std::size_t comment = part.find(';');
    part = trimRight(part.substr(0, comment));
    bool continued = !part.empty() && part.back() == '\\';
    if (continued) part.remove_suffix(1);
    if (!appendHexBytes(part, number, data, error)) return false;
    if (!continued) return true;
    Line next;
    if (!cursor.next(next)) {
      error = lineError(number, "hex data continues past the end of the text");
      return false;
    }
    number = next.number;
    part = trimLeft(next.content);
  }
}

bool readTypedHexData(const Line& line, std::string_view rest, LineCursor& cursor,
                      bool wideStringData, DWORD& type, std::string& data, std::string& error) {
  std::size_t close = rest.find(')');
  if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':' ||
      !parseHexNumber(rest.substr(4, close - 4), type)) {
    error = lineError(line.number, "hex(N): needs a type of 1 to 8 hex digits");
    return false;
  }
  if (!readHexList(line, rest.substr(close + 2), cursor, data, error)) return false;
  if (wideStringData && isStringType(type)) data = utf8FromUtf16Le(data);
  return true;
}

}  // namespace dsnconf::posix
