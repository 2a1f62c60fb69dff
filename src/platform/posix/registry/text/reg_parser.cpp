#include "registry/text/reg_parser.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "registry/text/hex_data.h"
#include "registry/text/journal.h"
#include "registry/text/line_cursor.h"
#include "registry/text/reg_format.h"
#include "registry/text/text_scan.h"

namespace dsnconf::posix {

// The statement parser lives in this file with the loops that call it for
// every line: local to it, its steps are compiled into those loops.
namespace {

// Windows does not nest keys deeper than this; a deeper path in a file is
// damage, and refusing it keeps every walk over the tree shallow.
constexpr std::size_t kMaxKeyDepth = 512;

// Reads a "..." string whose opening quote is at s[pos]; leaves pos after the
// closing quote. A backslash that starts no escape is itself.
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
    const int escaped = pos + 1 < s.size() ? quotedEscape(s[pos + 1]) : -1;
    if (escaped >= 0) {
      out += static_cast<char>(escaped);
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

// What a value line gives: data of a type, or the value's deletion.
struct ValueData {
  DWORD type = REG_SZ;
  std::string data;
  bool deletion = false;
};

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
    return readTypedHexData(line, rest, cursor, wideStringData, value.type, value.data, error);
  }
  error = lineError(line.number, "value data of unknown form");
  return false;
}

// The statements of .reg text, one at a time: key lines, value lines with
// the lines their hex data continues on, and comments. A whole text and the
// body of a journal entry are both read through it.
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
  enum class Section { None, Open, Deleted };

  bool parseSection(const Line& line, std::string_view content, std::string& error);
  bool parseValue(const Line& line, std::string_view content, LineCursor& cursor,
                  std::string& error);

  RegTextSink& sink_;
  std::size_t offset_;
  bool wideStringData_;
  Section section_ = Section::None;
};

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

bool isHeader(std::string_view content) {
  content = trimRight(content);
  return content == kRegHeader || content == kRegHeader4;
}

// Everything before the cursor counts.
void markValid(RegParseResult& result, const LineCursor& cursor) {
  result.validEnd = cursor.position();
  result.lineAtValidEnd = cursor.lineNumber();
}

void fail(RegParseResult& result, std::string error) {
  result.ok = false;
  result.error = std::move(error);
}

// Reads up to the header line. False when the parse ends there: the text is
// blank (and valid), or its first other line is no header (and it failed).
bool readHeader(LineCursor& cursor, RegParseResult& result) {
  Line line;
  while (cursor.next(line) && trim(line.content).empty()) {
  }
  if (trim(line.content).empty()) {
    markValid(result, cursor);
    return false;
  }
  if (!isHeader(line.content)) {
    fail(result, lineError(line.number, "the registry header line is missing"));
    return false;
  }
  result.sawHeader = true;
  return true;
}

// The statements of an intact journal entry, between its begin and end lines.
bool parseEntryBody(std::string_view text, const Line& begin, const Line& end,
                    StatementParser& statements, std::string& error) {
  LineCursor body(text.substr(begin.end, end.start - begin.end), begin.number + 1, begin.end);
  statements.forgetSection();
  Line statement;
  while (body.next(statement)) {
    if (!statements.parse(statement, body, error)) return false;
  }
  statements.forgetSection();
  return true;
}

// The journal entry whose begin line is `line`. False when the parse ends
// there: the entry is unfinished (where the valid text ends), or it failed.
bool takeJournalEntry(std::string_view text, const Line& line, LineCursor& cursor,
                      StatementParser& statements, RegParseResult& result) {
  // A begin line cut short by an interrupted write is the start of the
  // unfinished tail as well.
  EntryOutcome outcome = EntryOutcome::Unfinished;
  std::string error;
  Line end;
  if (line.terminated) outcome = readJournalEntry(line, cursor, end, error);
  if (outcome == EntryOutcome::Intact && !parseEntryBody(text, line, end, statements, error)) {
    outcome = EntryOutcome::Failed;
  }
  if (outcome == EntryOutcome::Failed) {
    fail(result, std::move(error));
    return false;
  }
  if (outcome == EntryOutcome::Unfinished) {
    result.validEnd = line.start;
    result.lineAtValidEnd = line.number;
    return false;
  }
  result.journalBytes += cursor.position() - line.start;
  markValid(result, cursor);
  return true;
}

}  // namespace

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
  if (options.expectHeader && !readHeader(cursor, result)) return result;
  markValid(result, cursor);

  Line line;
  while (cursor.next(line)) {
    if (isJournalBegin(line.content) || mayBeTornJournalBegin(line)) {
      if (!takeJournalEntry(text, line, cursor, statements, result)) return result;
      continue;
    }
    std::string error;
    if (!statements.parse(line, cursor, error)) {
      fail(result, std::move(error));
      return result;
    }
    markValid(result, cursor);
  }
  return result;
}

}  // namespace dsnconf::posix
