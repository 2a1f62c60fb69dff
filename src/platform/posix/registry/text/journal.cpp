#include "registry/text/journal.h"

#include <cstdint>
#include <cstdio>

#include "registry/text/crc32.h"

namespace dsnconf::posix {

namespace {

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

}  // namespace

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

}  // namespace dsnconf::posix
