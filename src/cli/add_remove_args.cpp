// The command lines of add and remove:
//   add    {/user | /system} [/64 | /32] <DSN> [GEN1 | GEN2 | GEN3] [<property>=<value> ...]
//   remove {/user | /system} [/64 | /32] <DSN>
#include <cstring>
#include <string>

#include "cli/command_line.h"
#include "cli/extra_commands.h"
#include "cli/output.h"
#include "commands/commands.h"
#include "dsn/inventory.h"
#include "dsn/registry.h"

namespace dsnconf {
namespace {

// "/system" and a few characters more, so that a longer word is no scope.
constexpr std::size_t kScopeWordBuffer = 10;

// The scope word, and a view word after it, compared as typed as trace does.
void readPlaces(ArgCursor& cursor, PlaceChoice& places, const char* command, UsageScreen screen) {
  if (cursor.remaining() < 1) notEnoughArguments(screen);
  char scope[kScopeWordBuffer];
  normaliseKeyword(cursor.next(), scope);
  if (equalsKeyword(scope, "/user")) {
    places.scope = Scope::User;
  } else if (equalsKeyword(scope, "/system")) {
    places.scope = Scope::System;
  } else {
    usageError(
        std::string("*** Invalid ") + command + " command specified: " + cursor.current() + " ***",
        screen);
  }
  const char* view = cursor.peek();
  if (view && std::strcmp(view, "/64") == 0) {
    places.view = MachineView::Bit64;
    cursor.next();
  } else if (view && std::strcmp(view, "/32") == 0) {
    places.view = MachineView::Bit32;
    cursor.next();
  }
}

// The data source's name, checked as a /dsn target is; the names of the
// special keys of ODBC.INI are refused too, since their keys hold settings.
void readName(ArgCursor& cursor, DsnRequest& request, UsageScreen screen) {
  if (cursor.remaining() < 1) notEnoughArguments(screen);
  const char* name = cursor.next();
  if (std::strlen(name) > kMaxTargetName) {
    usageError("*** DSN is longer than " + std::to_string(kMaxTargetName) + " ***", screen);
  }
  DsnTarget target;
  copyBounded(target.name, name, sizeof target.name);
  if (!validateDsnTarget(target)) printUsageAndExit(screen, true);
  if (isOdbcIniSpecialKey(name)) {
    usageError(std::string("*** ") + name +
                   " is not a valid DSN: ODBC.INI keeps its own settings under that name ***",
               screen);
  }
  request.name = name;
}

void readProperty(const char* argument, AddRequest& request) {
  const char* separator = std::strchr(argument, '=');
  if (!separator || separator == argument) {
    usageError(std::string("*** Invalid property specified: ") + argument +
                   " (expected <property>=<value>) ***",
               UsageScreen::Add);
  }
  const std::string name(argument, separator);
  if (sameRegistryName(name, "Driver")) {
    usageError("*** " + name + " cannot be given: add writes it from the driver's registration ***",
               UsageScreen::Add);
  }
  for (const auto& given : request.properties) {
    if (sameRegistryName(given.first, name)) {
      usageError("*** Property " + name + " is given more than once ***", UsageScreen::Add);
    }
  }
  request.properties.emplace_back(name, separator + 1);
}

}  // namespace

int runAdd(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Add);
  AddRequest request;
  readPlaces(cursor, request.dsn.places, "add", UsageScreen::Add);
  readName(cursor, request.dsn, UsageScreen::Add);
  // A word without '=' right after the name is the driver version.
  const char* version = cursor.peek();
  if (version && !std::strchr(version, '=')) {
    request.version = parseDriverVersion(cursor.next(), UsageScreen::Add);
  }
  while (const char* property = cursor.next()) readProperty(property, request);
  return cmdAdd(request);
}

int runRemove(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Remove);
  DsnRequest request;
  readPlaces(cursor, request.places, "remove", UsageScreen::Remove);
  readName(cursor, request, UsageScreen::Remove);
  if (const char* extra = cursor.next()) {
    usageError(std::string("*** Unexpected argument specified: ") + extra + " ***",
               UsageScreen::Remove);
  }
  return cmdRemove(request);
}

}  // namespace dsnconf
