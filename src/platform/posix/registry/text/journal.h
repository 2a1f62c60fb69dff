// Journal entries: the statements of one change appended to a hive file
// between a begin line and an end line that carries the CRC-32 of the lines
// between them (see reg_format.h). Writing an entry, and reading one back.
#pragma once

#include <string>
#include <string_view>

#include "registry/text/line_cursor.h"
#include "registry/text/reg_format.h"
#include "registry/text/statement_parser.h"
#include "registry/text/text_scan.h"

namespace dsnconf::posix {

// A journal entry around `body` (complete lines ending in LF).
std::string journalEntry(const std::string& body);

// Every line of a hive file is tested for these: they stay inline.
inline bool isJournalBegin(std::string_view content) {
  return trim(content) == kJournalBegin;
}

// A last line without its end that could be the begin line of an entry still
// being written: a reader sees an append as far as the writer has got.
inline bool mayBeTornJournalBegin(const Line& line) {
  std::string_view content = trimLeft(line.content);
  return !line.terminated && !content.empty() && kJournalBegin.substr(0, content.size()) == content;
}

enum class EntryOutcome { Applied, Unfinished, Failed };

// Reads one journal entry of `text` whose begin line has just been read:
// checks that it is complete and intact, then parses its statements.
EntryOutcome readJournalEntry(std::string_view text, const Line& begin, LineCursor& cursor,
                              StatementParser& statements, std::string& error);

}  // namespace dsnconf::posix
