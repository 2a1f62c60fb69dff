#include "registry/text/statement_parser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "registry/text/value_types.h"
#include "wide_text.h"

namespace dsnconf::posix {

namespace {

// Windows does not nest keys deeper than this; a deeper path in a file is
// damage, and refusing it keeps every walk over the tree shallow.
constexpr std::size_t kMaxKeyDepth = 512;

// Reads a "..." string whose opening quote is at s[pos]; leaves pos after the
// closing quote. Only \\ and \" are escapes; any other backslash is itself.
bool readQuoted(std::string_view s, std::size_t& pos, std::string& out) {
  ++pos;
  while (pos < s.size()) {
    // Plain characters go over in one piece: hive files hold millions of them.
    const std::size_t quote = std::min(s.find('"', pos), s.size());
    const std::size_t plain = std::min(s.substr(0, quote).find('\\', pos), quote);
    out.append(s, pos, plain - pos);
    pos = plain;
    if (pos == s.size()) break;
    if (s[pos] == '"') {
      ++pos;
      return true;
    }
    if (pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"')) {
      out += s[pos + 1];
      pos += 2;
    } else {
      out += '\\';
      ++pos;
    }
  }
  return false;
}

// The same walk over a "..." string without keeping it: a load that leaves
// values in the file only needs to know where each one ends.
bool skipQuoted(std::string_view s, std::size_t& pos) {
  ++pos;
  while (pos < s.size()) {
    const std::size_t quote = std::min(s.find('"', pos), s.size());
    pos = std::min(s.substr(0, quote).find('\\', pos), quote);
    if (pos == s.size()) break;
    if (s[pos] == '"') {
      ++pos;
      return true;
    }
    const bool escape = pos + 1 < s.size() && (s[pos + 1] == '\\' || s[pos + 1] == '"');
    pos += escape ? 2 : 1;
  }
  return false;
}

bool restIsBlankOrComment(std::string_view s, std::size_t pos) {
  s = trimLeft(s.substr(pos));
  return s.empty() || s.front() == ';';
}

// The name of a value line ("name", kept only when decoding, or @ for the
// key's default value) and what follows its '='.
bool readValueName(const Line& line, std::string_view content, bool decode, std::string& name,
                   std::string_view& rest, std::string& error) {
  std::size_t pos = 0;
  if (content.front() == '@') {
    pos = 1;
  } else if (!(decode ? readQuoted(content, pos, name) : skipQuoted(content, pos))) {
    error = lineError(line.number, "value name without a closing quote");
    return false;
  }
  while (pos < content.size() && isBlank(content[pos])) ++pos;
  if (pos >= content.size() || content[pos] != '=') {
    error = lineError(line.number, "value name not followed by '='");
    return false;
  }
  ++pos;
  while (pos < content.size() && isBlank(content[pos])) ++pos;
  rest = content.substr(pos);
  return true;
}

// "..." data: the string and its terminator, kept only when decoding.
bool readStringData(const Line& line, std::string_view rest, bool decode, std::string& data,
                    std::string& error) {
  // Room for the string and its terminator at once: the rest of the line
  // holds both quotes besides the string.
  std::size_t end = 0;
  if (decode) data.reserve(rest.size());
  if (!(decode ? readQuoted(rest, end, data) : skipQuoted(rest, end))) {
    error = lineError(line.number, "string data without a closing quote");
    return false;
  }
  if (!restIsBlankOrComment(rest, end)) {
    error = lineError(line.number, "text after the closing quote");
    return false;
  }
  data += '\0';
  return true;
}

// The digits after dword:, as the four bytes of a REG_DWORD.
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

// Comma-separated bytes of two hex digits (one is accepted), a trailing
// backslash continuing the list on the next line.
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

// What a value line gives: data of a type, or the value's deletion.
struct ValueData {
  DWORD type = REG_SZ;
  std::string data;
  bool deletion = false;
};

// hex(N): data, N the value's type in hex.
bool readTypedHexData(const Line& line, std::string_view rest, LineCursor& cursor,
                      bool wideStringData, ValueData& value, std::string& error) {
  std::size_t close = rest.find(')');
  if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':' ||
      !parseHexNumber(rest.substr(4, close - 4), value.type)) {
    error = lineError(line.number, "hex(N): needs a type of 1 to 8 hex digits");
    return false;
  }
  if (!readHexList(line, rest.substr(close + 2), cursor, value.data, error)) return false;
  if (wideStringData && isStringType(value.type)) value.data = utf8FromUtf16Le(value.data);
  return true;
}

// The data after a value line's '=', in each form regedit writes.
bool readValueData(const Line& line, std::string_view rest, LineCursor& cursor, bool decode,
                   bool wideStringData, ValueData& value, std::string& error) {
  if (!rest.empty() && rest.front() == '"') {
    return readStringData(line, rest, decode, value.data, error);
  }
  if (!rest.empty() && rest.front() == '-') {
    if (!restIsBlankOrComment(rest, 1)) {
      error = lineError(line.number, "text after '-'");
      return false;
    }
    value.deletion = true;
    return true;
  }
  if (startsWithIgnoreCase(rest, "dword:")) {
    return readDwordData(line, rest.substr(6), value.type, value.data, error);
  }
  if (startsWithIgnoreCase(rest, "hex:")) {
    value.type = REG_BINARY;
    return readHexList(line, rest.substr(4), cursor, value.data, error);
  }
  if (startsWithIgnoreCase(rest, "hex(")) {
    return readTypedHexData(line, rest, cursor, wideStringData, value, error);
  }
  error = lineError(line.number, "value data of unknown form");
  return false;
}

}  // namespace

bool StatementParser::parseSection(const Line& line, std::string_view content, std::string& error) {
  content = trimRight(content);
  if (content.size() < 2 || content.back() != ']') {
    error = lineError(line.number, "key line without a closing ']'");
    return false;
  }
  std::string_view inner = content.substr(1, content.size() - 2);
  bool deletion = !inner.empty() && inner.front() == '-';
  if (deletion) inner.remove_prefix(1);
  std::vector<std::string> path;
  // Room for the usual depth of a data source's key at once.
  path.reserve(8);
  std::size_t start = 0;
  while (true) {
    std::size_t slash = inner.find('\\', start);
    std::string_view part = inner.substr(
        start, slash == std::string_view::npos ? std::string_view::npos : slash - start);
    if (part.empty()) {
      error = lineError(line.number, "empty key name in key path");
      return false;
    }
    path.emplace_back(part);
    if (path.size() > kMaxKeyDepth) {
      error = lineError(line.number, "key path nested too deeply");
      return false;
    }
    if (slash == std::string_view::npos) break;
    start = slash + 1;
  }
  std::string why;
  bool accepted = deletion ? sink_.deleteKey(path, why) : sink_.openKey(path, why);
  if (!accepted) {
    error = lineError(line.number, why);
    return false;
  }
  section_ = deletion ? Section::Deleted : Section::Open;
  return true;
}

bool StatementParser::parseValue(const Line& line, std::string_view content, LineCursor& cursor,
                                 std::string& error) {
  const bool decode = sink_.wantsValues();
  std::string name;
  std::string_view rest;
  if (!readValueName(line, content, decode, name, rest, error)) return false;
  ValueData value;
  if (!readValueData(line, rest, cursor, decode, wideStringData_, value, error)) return false;

  if (section_ == Section::None) {
    error = lineError(line.number, "value line before any key line");
    return false;
  }
  // Values under a deleted key mean nothing, as for regedit.
  if (section_ == Section::Deleted) return true;
  if (decode && value.deletion) {
    sink_.deleteValue(name);
  } else if (decode) {
    sink_.setValue(name, value.type, std::move(value.data));
  }
  sink_.valueLines(offset_ + cursor.base() + line.start, offset_ + cursor.basePosition(),
                   line.number);
  return true;
}

}  // namespace dsnconf::posix
