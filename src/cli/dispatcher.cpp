#include "cli/dispatcher.h"

#include <cstring>

#include "cli/arg_cursor.h"
#include "cli/usage.h"
#include "commands/commands.h"

namespace dsnconf {
namespace {

constexpr std::size_t kCommandWordBuffer = 10;

struct Command {
  const char* word;
  int (*run)(ArgCursor& cursor);
};

// In the order the command word is compared.
const Command kCommands[] = {
    {"view", runView},   {"delete", runDelete}, {"set", runSet}, {"name", runName},
    {"trace", runTrace}, {"reg", runReg},       {"add", runAdd}, {"remove", runRemove},
    {"check", runCheck}, {"export", runExport},
};

}  // namespace

int dispatch(int argc, char** argv) {
  if (argc < 2) printUsageAndExit(UsageScreen::General, false);

  ArgCursor cursor;
  cursor.size = static_cast<std::uint32_t>(argc - 1);
  cursor.items = argv + 1;
  char word[kCommandWordBuffer];
  normaliseKeyword(cursor.next(), word);

  for (const Command& command : kCommands) {
    if (std::strcmp(word, command.word) == 0) return command.run(cursor);
  }
  if (std::strcmp(word, "/help") == 0 || std::strcmp(word, "/?") == 0) {
    printUsageAndExit(UsageScreen::General, false);
  }
  printUsageAndExit(UsageScreen::General, true);
}

}  // namespace dsnconf
