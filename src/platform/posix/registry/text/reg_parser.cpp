#include "registry/text/reg_parser.h"

#include <utility>

#include "registry/text/journal.h"
#include "registry/text/line_cursor.h"
#include "registry/text/reg_format.h"
#include "registry/text/statement_parser.h"
#include "registry/text/text_scan.h"

namespace dsnconf::posix {

namespace {

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

// The journal entry whose begin line is `line`. False when the parse ends
// there: the entry is unfinished (where the valid text ends), or it failed.
bool takeJournalEntry(std::string_view text, const Line& line, LineCursor& cursor,
                      StatementParser& statements, RegParseResult& result) {
  // A begin line cut short by an interrupted write is the start of the
  // unfinished tail as well.
  EntryOutcome outcome = EntryOutcome::Unfinished;
  std::string error;
  if (line.terminated) outcome = readJournalEntry(text, line, cursor, statements, error);
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
