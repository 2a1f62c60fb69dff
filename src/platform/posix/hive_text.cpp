#include "hive_text.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <utility>

#include "reg_tree.h"
#include "value_rules.h"
#include "wide_text.h"

namespace dsnconf::posix {

namespace {

// Windows does not nest keys deeper than this; a deeper path in a file is
// damage, and refusing it keeps every walk over the tree shallow.
constexpr std::size_t kMaxKeyDepth = 512;
// Hex data lines are wrapped before they grow past this, as regedit does.
constexpr std::size_t kHexLineWidth = 76;

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view trimRight(std::string_view s) {
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

std::string_view trim(std::string_view s) {
  return trimRight(trimLeft(s));
}

bool startsWithIgnoreCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (foldCase(s[i]) != foldCase(prefix[i])) return false;
  }
  return true;
}

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads 1 to 8 hex digits as a number; false for anything else.
bool parseHexNumber(std::string_view digits, DWORD& number) {
  if (digits.empty() || digits.size() > 8) return false;
  number = 0;
  for (char c : digits) {
    int d = hexDigit(c);
    if (d < 0) return false;
    number = (number << 4) | static_cast<DWORD>(d);
  }
  return true;
}

std::string lineError(std::size_t line, const std::string& what) {
  return "line " + std::to_string(line) + ": " + what;
}

// --- UTF-16 -----------------------------------------------------------------

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

// --- Lines ------------------------------------------------------------------

struct Line {
  // The line without its end (LF, or CR LF).
  std::string_view content;
  std::size_t start = 0;
  // Offset just past the line's end.
  std::size_t end = 0;
  std::size_t number = 0;
  bool terminated = false;
};

class LineCursor {
 public:
  // `base` is the offset of `text` in the whole text parsed, for positions
  // reported to the sink.
  LineCursor(std::string_view text, std::size_t firstLine, std::size_t base = 0)
      : text_(text), base_(base), number_(firstLine) {}

  bool next(Line& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t lf = text_.find('\n', pos_);
    line.start = pos_;
    line.terminated = lf != std::string_view::npos;
    line.end = line.terminated ? lf + 1 : text_.size();
    line.content = text_.substr(pos_, (line.terminated ? lf : text_.size()) - pos_);
    if (!line.content.empty() && line.content.back() == '\r') line.content.remove_suffix(1);
    line.number = number_++;
    pos_ = line.end;
    return true;
  }

  std::size_t position() const { return pos_; }
  std::size_t basePosition() const { return base_ + pos_; }
  std::size_t base() const { return base_; }
  std::size_t lineNumber() const { return number_; }
  bool restIsBlank() const {
    for (std::size_t i = pos_; i < text_.size(); ++i) {
      char c = text_[i];
      if (!isBlank(c) && c != '\r' && c != '\n') return false;
    }
    return true;
  }

 private:
  std::string_view text_;
  std::size_t base_;
  std::size_t pos_ = 0;
  std::size_t number_;
};

// --- Statements -------------------------------------------------------------

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

enum class Section { None, Open, Deleted };

class StatementParser {
 public:
  // `offset` is added to every position reported to the sink.
  StatementParser(RegTextSink& sink, std::size_t offset, bool wideStringData)
      : sink_(sink), offset_(offset), wideStringData_(wideStringData) {}

  void forgetSection() { section_ = Section::None; }
  // For value lines of a key the sink has open already.
  void assumeOpenSection() { section_ = Section::Open; }

  // Parses the statement on `line`, taking continuation lines from `cursor`.
  bool parse(const Line& line, LineCursor& cursor, std::string& error) {
    std::string_view content = trimLeft(line.content);
    if (content.empty() || content.front() == ';') return true;
    if (content.front() == '[') return parseSection(line, content, error);
    if (content.front() == '"' || content.front() == '@') {
      return parseValue(line, content, cursor, error);
    }
    error = lineError(line.number, "not a key, value or comment line");
    return false;
  }

 private:
  bool parseSection(const Line& line, std::string_view content, std::string& error) {
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

  bool parseValue(const Line& line, std::string_view content, LineCursor& cursor,
                  std::string& error) {
    const bool decode = sink_.wantsValues();
    std::string name;
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
    std::string_view rest = content.substr(pos);

    DWORD type = REG_SZ;
    std::string data;
    bool deletion = false;
    if (!rest.empty() && rest.front() == '"') {
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
    } else if (!rest.empty() && rest.front() == '-') {
      if (!restIsBlankOrComment(rest, 1)) {
        error = lineError(line.number, "text after '-'");
        return false;
      }
      deletion = true;
    } else if (startsWithIgnoreCase(rest, "dword:")) {
      std::string_view digits = rest.substr(6);
      std::size_t comment = digits.find(';');
      digits = trimRight(digits.substr(0, comment));
      DWORD number = 0;
      if (!parseHexNumber(digits, number)) {
        error = lineError(line.number, "dword: needs 1 to 8 hex digits");
        return false;
      }
      type = REG_DWORD;
      for (int i = 0; i < 4; ++i) data += static_cast<char>((number >> (8 * i)) & 0xFF);
    } else if (startsWithIgnoreCase(rest, "hex:")) {
      type = REG_BINARY;
      if (!readHexList(line, rest.substr(4), cursor, data, error)) return false;
    } else if (startsWithIgnoreCase(rest, "hex(")) {
      std::size_t close = rest.find(')');
      if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':' ||
          !parseHexNumber(rest.substr(4, close - 4), type)) {
        error = lineError(line.number, "hex(N): needs a type of 1 to 8 hex digits");
        return false;
      }
      if (!readHexList(line, rest.substr(close + 2), cursor, data, error)) return false;
      if (wideStringData_ && isStringType(type)) data = utf8FromUtf16Le(data);
    } else {
      error = lineError(line.number, "value data of unknown form");
      return false;
    }

    if (section_ == Section::None) {
      error = lineError(line.number, "value line before any key line");
      return false;
    }
    // Values under a deleted key mean nothing, as for regedit.
    if (section_ == Section::Deleted) return true;
    if (decode && deletion) {
      sink_.deleteValue(name);
    } else if (decode) {
      sink_.setValue(name, type, std::move(data));
    }
    sink_.valueLines(offset_ + cursor.base() + line.start, offset_ + cursor.basePosition(),
                     line.number);
    return true;
  }

  // The bytes of one line of hex data; a trailing comma (or no bytes at all)
  // leaves one empty item at the end, any other empty item is an error.
  static bool appendHexBytes(std::string_view part, std::size_t number, std::string& data,
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
  static bool readHexList(const Line& first, std::string_view part, LineCursor& cursor,
                          std::string& data, std::string& error) {
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

  RegTextSink& sink_;
  std::size_t offset_;
  bool wideStringData_;
  Section section_ = Section::None;
};

bool isHeader(std::string_view content) {
  content = trimRight(content);
  return content == kRegHeader || content == kRegHeader4;
}

bool isJournalBegin(std::string_view content) {
  return trim(content) == kJournalBegin;
}

// A last line without its end that could be the begin line of an entry still
// being written: a reader sees an append as far as the writer has got.
bool mayBeTornJournalBegin(const Line& line) {
  std::string_view content = trimLeft(line.content);
  return !line.terminated && !content.empty() && kJournalBegin.substr(0, content.size()) == content;
}

// The checksum an end line states, or false when the line is no end line.
bool journalEndChecksum(std::string_view content, std::uint32_t& checksum) {
  content = trim(content);
  if (content.size() != kJournalEnd.size() + 8 ||
      content.substr(0, kJournalEnd.size()) != kJournalEnd) {
    return false;
  }
  DWORD value = 0;
  if (!parseHexNumber(content.substr(kJournalEnd.size()), value)) return false;
  checksum = value;
  return true;
}

bool startsJournalEnd(std::string_view content) {
  return trim(content).substr(0, kJournalEnd.size()) == kJournalEnd;
}

// CRC-32 (the zlib one), four bytes a step: every load checks the journal
// and the index with it.
class Crc32 {
 public:
  void update(std::string_view bytes) {
    static const Tables tables = makeTables();
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
    std::size_t n = bytes.size();
    std::uint32_t crc = crc_;
    for (; n >= 4; p += 4, n -= 4) {
      crc ^= static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
             static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      crc = tables[3][crc & 0xFF] ^ tables[2][(crc >> 8) & 0xFF] ^ tables[1][(crc >> 16) & 0xFF] ^
            tables[0][crc >> 24];
    }
    for (; n > 0; ++p, --n) crc = tables[0][(crc ^ *p) & 0xFF] ^ (crc >> 8);
    crc_ = crc;
  }
  std::uint32_t value() const { return crc_ ^ 0xFFFFFFFFu; }

 private:
  // tables[k][b]: the CRC of byte b followed by k zero bytes.
  using Tables = std::array<std::array<std::uint32_t, 256>, 4>;
  static Tables makeTables() {
    Tables tables{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      tables[0][i] = c;
    }
    for (std::size_t k = 1; k < tables.size(); ++k) {
      for (std::size_t i = 0; i < 256; ++i) {
        tables[k][i] = (tables[k - 1][i] >> 8) ^ tables[0][tables[k - 1][i] & 0xFF];
      }
    }
    return tables;
  }
  std::uint32_t crc_ = 0xFFFFFFFFu;
};

enum class EntryOutcome { Applied, Unfinished, Failed };

// Reads one journal entry whose begin line has just been read: checks that it
// is complete and intact, then parses its statements.
EntryOutcome readJournalEntry(std::string_view text, const Line& begin, LineCursor& cursor,
                              StatementParser& statements, std::string& error) {
  Crc32 crc;
  Line line;
  while (cursor.next(line)) {
    if (isJournalBegin(line.content)) {
      error = lineError(line.number, "journal entry begun inside the unfinished entry of line " +
                                         std::to_string(begin.number));
      return EntryOutcome::Failed;
    }
    if (!startsJournalEnd(line.content)) {
      crc.update(line.content);
      crc.update("\n");
      continue;
    }
    std::uint32_t stated = 0;
    bool intact =
        line.terminated && journalEndChecksum(line.content, stated) && stated == crc.value();
    if (!intact) {
      // The remains of an interrupted write are always last in the file.
      if (cursor.restIsBlank()) return EntryOutcome::Unfinished;
      error = lineError(line.number, "damaged journal entry (checksum mismatch)");
      return EntryOutcome::Failed;
    }
    LineCursor body(text.substr(begin.end, line.start - begin.end), begin.number + 1, begin.end);
    statements.forgetSection();
    Line statement;
    while (body.next(statement)) {
      if (!statements.parse(statement, body, error)) return EntryOutcome::Failed;
    }
    statements.forgetSection();
    return EntryOutcome::Applied;
  }
  return EntryOutcome::Unfinished;
}

bool isExactString(DWORD type, const std::string& data) {
  if (type != REG_SZ || data.empty() || data.back() != '\0') return false;
  return data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
}

void appendValueName(std::string& out, const std::string& name) {
  if (name.empty()) {
    out += '@';
  } else {
    appendQuoted(out, name);
  }
}

void appendHexList(std::string& out, std::size_t lineStart, const std::string& data) {
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    auto byte = static_cast<unsigned char>(data[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
    if (i + 1 == data.size()) break;
    out += ',';
    if (out.size() - lineStart > kHexLineWidth) {
      out += "\\\n  ";
      lineStart = out.size() - 2;
    }
  }
}

// Builds trees from a whole file for canonicalRegText.
bool parseWholeFile(const std::string& fileBytes, RegTreeSink& sink, std::string& error) {
  DecodedRegText decoded;
  if (!decodeRegFile(fileBytes, decoded, error)) return false;
  RegParseResult result = parseRegText(decoded.text, wholeFileOptions(decoded), sink);
  if (!result.ok) error = result.error;
  return result.ok;
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

RegParseOptions wholeFileOptions(const DecodedRegText& decoded) {
  RegParseOptions options;
  options.firstOffset = decoded.prefixBytes;
  options.wideStringData = decoded.encoding == RegTextEncoding::Utf16;
  return options;
}

RegParseResult parseRegText(std::string_view text, const RegParseOptions& options,
                            RegTextSink& sink) {
  RegParseResult result;
  // Zero bytes at the very end are blocks of an append that a power failure
  // cut short; like an unfinished entry they do not count.
  while (!text.empty() && text.back() == '\0') text.remove_suffix(1);
  LineCursor cursor(text, options.firstLine);
  StatementParser statements(sink, options.firstOffset, options.wideStringData);
  if (options.keyOpen) statements.assumeOpenSection();
  Line line;
  auto fail = [&](std::string error) {
    result.ok = false;
    result.error = std::move(error);
    return result;
  };
  auto markValid = [&]() {
    result.validEnd = cursor.position();
    result.lineAtValidEnd = cursor.lineNumber();
  };

  if (options.expectHeader) {
    while (cursor.next(line) && trim(line.content).empty()) {
    }
    if (trim(line.content).empty()) {
      markValid();
      return result;
    }
    if (!isHeader(line.content)) {
      return fail(lineError(line.number, "the registry header line is missing"));
    }
    result.sawHeader = true;
  }
  markValid();

  while (cursor.next(line)) {
    if (isJournalBegin(line.content) || mayBeTornJournalBegin(line)) {
      // A begin line cut short by an interrupted write is the start of the
      // unfinished tail as well.
      EntryOutcome outcome = EntryOutcome::Unfinished;
      std::string error;
      if (line.terminated) outcome = readJournalEntry(text, line, cursor, statements, error);
      if (outcome == EntryOutcome::Failed) return fail(error);
      if (outcome == EntryOutcome::Unfinished) {
        result.validEnd = line.start;
        result.lineAtValidEnd = line.number;
        return result;
      }
      result.journalBytes += cursor.position() - line.start;
      markValid();
      continue;
    }
    std::string error;
    if (!statements.parse(line, cursor, error)) return fail(error);
    markValid();
  }
  return result;
}

void appendSectionLine(std::string& out, const std::string& fullPath) {
  out += '[';
  out += fullPath;
  out += "]\n";
}

void appendKeyDeletionLine(std::string& out, const std::string& fullPath) {
  out += "[-";
  out += fullPath;
  out += "]\n";
}

void appendValueLine(std::string& out, const std::string& name, DWORD type,
                     const std::string& data) {
  std::size_t lineStart = out.size();
  appendValueName(out, name);
  out += '=';
  if (isExactString(type, data)) {
    appendQuoted(out, std::string_view(data).substr(0, data.size() - 1));
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(data[i]);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    out += "dword:";
    out += digits;
  } else {
    if (type == REG_BINARY) {
      out += "hex:";
    } else {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
      out += prefix;
    }
    appendHexList(out, lineStart, data);
  }
  out += '\n';
}

void appendValueDeletionLine(std::string& out, const std::string& name) {
  appendValueName(out, name);
  out += "=-\n";
}

bool isWritableValueName(const std::string& name) {
  return name.find_first_of("\r\n") == std::string::npos;
}

bool isWritableKeyName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\\r\n") == std::string::npos;
}

std::uint32_t crc32(std::string_view bytes) {
  Crc32 crc;
  crc.update(bytes);
  return crc.value();
}

std::string journalEntry(const std::string& body) {
  char checksum[16];
  std::snprintf(checksum, sizeof checksum, "%08x", static_cast<unsigned>(crc32(body)));
  std::string entry;
  entry.reserve(body.size() + kJournalBegin.size() + kJournalEnd.size() + 16);
  entry += kJournalBegin;
  entry += '\n';
  entry += body;
  entry += kJournalEnd;
  entry += checksum;
  entry += '\n';
  return entry;
}

bool canonicalRegText(const std::string& fileBytes, std::string& canonical, std::string& error) {
  RegTreeSink sink;
  if (!parseWholeFile(fileBytes, sink, error)) return false;
  canonical = formatRegTrees(sink.roots());
  return true;
}

}  // namespace dsnconf::posix
