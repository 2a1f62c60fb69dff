// check [/json]
#include <string>

#include "cli/command_line.h"
#include "cli/extra_commands.h"
#include "commands/commands.h"

namespace dsnconf {
namespace {

// "/json" and one character more, so that a longer word is not taken for it.
constexpr std::size_t kCheckOptionBuffer = 7;

}  // namespace

int runCheck(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Check);
  bool json = false;
  if (cursor.remaining() > 0) {
    char option[kCheckOptionBuffer];
    normaliseKeyword(cursor.next(), option);
    if (!equalsKeyword(option, "/json")) {
      usageError(std::string("*** Invalid check option specified: ") + cursor.current() + " ***",
                 UsageScreen::Check);
    }
    json = true;
  }
  if (cursor.remaining() > 0) {
    usageError(std::string("*** Unexpected argument: ") + cursor.next() + " ***",
               UsageScreen::Check);
  }
  return cmdCheck(json);
}

}  // namespace dsnconf
