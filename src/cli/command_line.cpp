#include "cli/command_line.h"

#include <cstring>

#include "base/output.h"

namespace dsnconf {
namespace {

// "/help" and anything longer that begins with it is a help request.
constexpr std::size_t kHelpRequestBuffer = 6;
// "/whatif" and one character more, so that a longer word is not taken for it.
constexpr std::size_t kWhatIfBuffer = 9;

}  // namespace

bool equalsKeyword(const char* normalised, const char* keyword) {
  return std::strcmp(normalised, keyword) == 0;
}

void checkHelpRequest(const char* argument, UsageScreen screen) {
  if (!argument) return;
  char word[kHelpRequestBuffer];
  normaliseKeyword(argument, word);
  if (equalsKeyword(word, "/help") || equalsKeyword(word, "/?")) printUsageAndExit(screen, false);
}

bool takeWhatIf(ArgCursor& cursor) {
  if (cursor.remaining() == 0) return false;
  char word[kWhatIfBuffer];
  normaliseKeyword(cursor.items[cursor.size - 1], word);
  if (!equalsKeyword(word, "/whatif")) return false;
  --cursor.size;
  return true;
}

void notEnoughArguments(UsageScreen screen) {
  printNotEnoughArguments();
  printUsageAndExit(screen, true);
}

void usageError(const std::string& line, UsageScreen screen) {
  printLine(line);
  printUsageAndExit(screen, true);
}

}  // namespace dsnconf
