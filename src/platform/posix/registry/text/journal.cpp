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

EntryOutcome readJournalEntry(const Line& begin, LineCursor& cursor, Line& end,
                              std::string& error) {
  Crc32 crc;
  while (cursor.next(end)) {
    if (isJournalBegin(end.content)) {
      error = lineError(end.number, "journal entry begun inside the unfinished entry of line " +
                                        std::to_string(begin.number));
      return EntryOutcome::Failed;
    }
    if (!startsJournalEnd(end.content)) {
      crc.update(end.content);
      crc.update("\n");
      continue;
    }
    std::uint32_t stated = 0;
    bool intact =
        end.terminated && journalEndChecksum(end.content, stated) && stated == crc.value();
    if (intact) return EntryOutcome::Intact;
    // The remains of an interrupted write are always last in the file.
    if (cursor.restIsBlank()) return EntryOutcome::Unfinished;
    error = lineError(end.number, "damaged journal entry (checksum mismatch)");
    return EntryOutcome::Failed;
  }
  return EntryOutcome::Unfinished;
}

}  // namespace dsnconf::posix
