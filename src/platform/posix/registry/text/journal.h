// Journal entries: the statements of one change appended to a hive file
// between a begin line and an end line that carries the CRC-32 of the lines
// between them (see reg_format.h). Writing an entry, and finding where one
// read back ends and whether it counts.
#pragma once

#include <string>
#include <string_view>

#include "registry/text/line_cursor.h"
#include "registry/text/reg_format.h"
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

enum class EntryOutcome { Intact, Unfinished, Failed };

// Reads the lines of one journal entry whose begin line has just been read,
// up to its end line, and checks that the entry is complete and intact. The
// statements of an intact entry lie between `begin` and `end`.
EntryOutcome readJournalEntry(const Line& begin, LineCursor& cursor, Line& end, std::string& error);

}  // namespace dsnconf::posix
