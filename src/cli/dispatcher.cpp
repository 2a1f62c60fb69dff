#include "cli/dispatcher.h"

#include <cstring>
#include <string>

#include "cli/arg_cursor.h"
#include "cli/command_line.h"
#include "cli/extra_commands.h"
#include "cli/output.h"
#include "cli/usage.h"
#include "commands/commands.h"
#include "dsn/target.h"

namespace dsnconf {
namespace {

constexpr std::size_t kCommandWordBuffer = 10;
constexpr std::size_t kTraceWordBuffer = 10;
constexpr std::size_t kRegActionBuffer = 10;

bool equals(const char* a, const char* b) {
  return std::strcmp(a, b) == 0;
}

[[noreturn]] void invalidTraceCommand(const ArgCursor& cursor) {
  usageError(std::string("*** Invalid trace command specified: ") + cursor.current() + " ***",
             UsageScreen::Trace);
}

// Parses the target and validates a /dsn or /fdsn one; ends the run with the
// command's screen when either step refuses it.
void readTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen) {
  if (!parseDsnTarget(cursor, target)) printUsageAndExit(screen, true);
  if (target.kind != DsnKind::All && !validateDsnTarget(target)) printUsageAndExit(screen, true);
}

int runView(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::View);
  DsnTarget target;
  readTarget(cursor, target, UsageScreen::View);
  return cmdView(target, cursor.peek());
}

// delete and set work on one data source: /all is refused without a line.
void readSingleTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen) {
  if (!parseDsnTarget(cursor, target)) printUsageAndExit(screen, true);
  if (target.kind == DsnKind::All) printUsageAndExit(screen, true);
  if (!validateDsnTarget(target)) printUsageAndExit(screen, true);
}

int runDelete(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Delete);
  DsnTarget target;
  readSingleTarget(cursor, target, UsageScreen::Delete);
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Delete);
  const char* property = cursor.next();
  return cmdDelete(target, property);
}

int runSet(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Set);
  DsnTarget target;
  readSingleTarget(cursor, target, UsageScreen::Set);
  if (cursor.remaining() < 2) notEnoughArguments(UsageScreen::Set);
  const char* property = cursor.next();
  const char* value = cursor.next();
  return cmdSet(target, property, value);
}

int runName(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Name);
  DsnTarget target;
  readTarget(cursor, target, UsageScreen::Name);
  if (cursor.remaining() < 1) {
    // Unlike the other commands, no usage screen follows.
    printNotEnoughArguments();
    return 1;
  }
  const DriverVersion version = parseDriverVersion(cursor.next(), UsageScreen::Name);
  return cmdName(target, version);
}

TraceScope readTraceScope(ArgCursor& cursor) {
  char level[kTraceWordBuffer];
  normaliseKeyword(cursor.next(), level);
  if (equals(level, "/user")) return TraceScope::User;
  if (!equals(level, "/system")) invalidTraceCommand(cursor);

  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  // The view selectors are compared as typed; anything else is the switch.
  const char* selector = cursor.next();
  if (equals(selector, "/64")) return TraceScope::System64;
  if (equals(selector, "/32")) return TraceScope::System32;
  cursor.stepBack();
  return TraceScope::BothSystemViews;
}

int runTrace(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  checkHelpRequest(cursor.peek(), UsageScreen::Trace);
  const TraceScope scope = readTraceScope(cursor);

  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  char onOff[kTraceWordBuffer];
  normaliseKeyword(cursor.next(), onOff);
  bool on = false;
  if (equals(onOff, "on")) {
    on = true;
  } else if (!equals(onOff, "off")) {
    invalidTraceCommand(cursor);
  }
  const char* traceFile = cursor.next();
  return cmdTrace(on, scope, traceFile);
}

int runReg(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Reg);
  if (cursor.remaining() < 2) notEnoughArguments(UsageScreen::Reg);

  char action[kRegActionBuffer];
  normaliseKeyword(cursor.next(), action);
  bool add = false;
  if (equals(action, "/add")) {
    add = true;
  } else if (!equals(action, "/del")) {
    usageError(std::string("*** Invalid reg command specified: ") + cursor.current() + " ***",
               UsageScreen::Reg);
  }

  const DriverVersion version = parseDriverVersion(cursor.next(), UsageScreen::Reg);
  if (version == GEN3) {
    usageError(std::string("*** Registration or unregistration of '") + kDriverNames[GEN3] +
                   "' not allowed ***",
               UsageScreen::Reg);
  }
  return cmdReg(version, add);
}

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
    if (equals(word, command.word)) return command.run(cursor);
  }
  if (equals(word, "/help") || equals(word, "/?")) printUsageAndExit(UsageScreen::General, false);
  printUsageAndExit(UsageScreen::General, true);
}

}  // namespace dsnconf
