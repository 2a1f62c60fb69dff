// export {/json | /reg} [<file> [/y]]
#include <string>

#include "cli/command_line.h"
#include "cli/extra_commands.h"
#include "commands/commands.h"

namespace dsnconf {
namespace {

// Longer than every keyword of the command, so that a longer word cut to
// the buffer never equals one.
constexpr std::size_t kExportWordBuffer = 8;

bool isFormatWord(const char* normalised) {
  return equalsKeyword(normalised, "/json") || equalsKeyword(normalised, "/reg");
}

ExportFormat readFormat(ArgCursor& cursor) {
  char word[kExportWordBuffer];
  normaliseKeyword(cursor.next(), word);
  if (equalsKeyword(word, "/json")) return ExportFormat::Json;
  if (equalsKeyword(word, "/reg")) return ExportFormat::Reg;
  usageError(std::string("*** Invalid export format specified: ") + cursor.current() + " ***",
             UsageScreen::Export);
}

// The file name, refusing the words that belong elsewhere on the line.
const char* readFileName(ArgCursor& cursor) {
  const char* file = cursor.next();
  char word[kExportWordBuffer];
  normaliseKeyword(file, word);
  if (isFormatWord(word)) {
    usageError("*** Only one export format may be given ***", UsageScreen::Export);
  }
  if (equalsKeyword(word, "/y")) {
    usageError("*** /y must follow the file name ***", UsageScreen::Export);
  }
  if (*file == '\0') usageError("*** The file name is empty ***", UsageScreen::Export);
  return file;
}

}  // namespace

int runExport(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Export);
  checkHelpRequest(cursor.peek(), UsageScreen::Export);
  const ExportFormat format = readFormat(cursor);
  if (cursor.remaining() == 0) return cmdExport(format, nullptr, false);

  const char* file = readFileName(cursor);
  bool replace = false;
  if (cursor.remaining() > 0) {
    char word[kExportWordBuffer];
    normaliseKeyword(cursor.next(), word);
    if (!equalsKeyword(word, "/y")) {
      usageError(std::string("*** Unexpected argument: ") + cursor.current() + " ***",
                 UsageScreen::Export);
    }
    replace = true;
  }
  if (cursor.remaining() > 0) {
    usageError(std::string("*** Unexpected argument: ") + cursor.next() + " ***",
               UsageScreen::Export);
  }
  return cmdExport(format, file, replace);
}

}  // namespace dsnconf
