#include "cli/dispatcher.h"

#include <cstring>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/arg_cursor.h"
#include "cli/usage.h"
#include "commands/commands.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

constexpr std::size_t kCommandWordBuffer = 10;

// How a command reads its arguments and writes its lines: the first six as
// the C runtime hands them over (ANSI text on Windows), the later ones as
// text that every name Windows holds can be written in.
enum class Arguments { Runtime, Text };

struct Command {
  const char* word;
  int (*run)(ArgCursor& cursor);
  Arguments arguments;
};

// In the order the command word is compared.
// clang-format off
const Command kCommands[] = {
    {"view",   runView,   Arguments::Runtime},
    {"delete", runDelete, Arguments::Runtime},
    {"set",    runSet,    Arguments::Runtime},
    {"name",   runName,   Arguments::Runtime},
    {"trace",  runTrace,  Arguments::Runtime},
    {"reg",    runReg,    Arguments::Runtime},
    {"add",    runAdd,    Arguments::Text},
    {"remove", runRemove, Arguments::Text},
    {"check",  runCheck,  Arguments::Text},
    {"export", runExport, Arguments::Text},
    {"change", runChange, Arguments::Text},
    {"apply",  runApply,  Arguments::Text},
    {"show",   runShow,   Arguments::Text},
};
// clang-format on

// Runs a later command over the command line read as text, the command word
// taken already.
int runWithText(const Command& command, int argc, char** argv) {
  useLineWriter(printText);
  std::vector<std::string> arguments = textArguments(argc, argv);
  std::vector<char*> items;
  for (std::string& argument : arguments) items.push_back(argument.data());
  items.push_back(nullptr);
  ArgCursor cursor;
  cursor.size = static_cast<std::uint32_t>(arguments.size());
  cursor.items = items.data();
  cursor.next();
  return command.run(cursor);
}

}  // namespace

int dispatch(int argc, char** argv) {
  if (argc < 2) printUsageAndExit(UsageScreen::General, false);

  ArgCursor cursor;
  cursor.size = static_cast<std::uint32_t>(argc - 1);
  cursor.items = argv + 1;
  char word[kCommandWordBuffer];
  normaliseKeyword(cursor.next(), word);

  for (const Command& command : kCommands) {
    if (std::strcmp(word, command.word) != 0) continue;
    if (command.arguments == Arguments::Text) return runWithText(command, argc, argv);
    return command.run(cursor);
  }
  if (std::strcmp(word, "/help") == 0 || std::strcmp(word, "/?") == 0) {
    printUsageAndExit(UsageScreen::General, false);
  }
  printUsageAndExit(UsageScreen::General, true);
}

}  // namespace dsnconf
