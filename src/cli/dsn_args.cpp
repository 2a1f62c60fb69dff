#include "cli/dsn_args.h"

#include <cstring>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

// Mode words are compared on their first six characters.
constexpr std::size_t kModeWordBuffer = 7;
// Driver versions are compared on their first four characters.
constexpr std::size_t kDriverVersionBuffer = 5;
// "/system" and a few characters more, so that a longer word is no scope.
constexpr std::size_t kScopeWordBuffer = 10;

}  // namespace

bool parseDsnTarget(ArgCursor& cursor, DsnTarget& target) {
  if (cursor.remaining() == 0) {
    printNotEnoughArguments();
    return false;
  }
  char mode[kModeWordBuffer];
  normaliseKeyword(cursor.next(), mode);
  if (std::strcmp(mode, "/dsn") == 0) {
    target.kind = DsnKind::Registry;
  } else if (std::strcmp(mode, "/fdsn") == 0) {
    target.kind = DsnKind::File;
  } else if (std::strcmp(mode, "/all") == 0) {
    target.kind = DsnKind::All;
    return true;
  } else {
    printLine(std::string("*** Invalid argument specified: ") + cursor.current() + " ***");
    return false;
  }

  if (cursor.remaining() == 0) {
    printNotEnoughArguments();
    return false;
  }
  const char* name = cursor.next();
  if (std::strlen(name) > kMaxTargetName) {
    printLine("*** DSN is longer than " + std::to_string(kMaxTargetName) + " ***");
    return false;
  }
  copyBounded(target.name, name, sizeof target.name);
  return true;
}

void readTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen) {
  if (!parseDsnTarget(cursor, target)) printUsageAndExit(screen, true);
  if (target.kind != DsnKind::All && !validateDsnTarget(target)) printUsageAndExit(screen, true);
}

void readSingleTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen) {
  if (!parseDsnTarget(cursor, target)) printUsageAndExit(screen, true);
  if (target.kind == DsnKind::All) printUsageAndExit(screen, true);
  if (!validateDsnTarget(target)) printUsageAndExit(screen, true);
}

DriverVersion parseDriverVersion(const char* argument, UsageScreen screen) {
  char word[kDriverVersionBuffer];
  normaliseKeyword(argument, word);
  const char* const keywords[] = {"gen1", "gen2", "gen3"};
  for (std::int32_t version = GEN1; version <= GEN3; ++version) {
    if (std::strcmp(word, keywords[version]) == 0) return static_cast<DriverVersion>(version);
  }
  printLine(std::string("*** Invalid driver version ") + argument + " ***");
  printUsageAndExit(screen, true);
}

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

void readProperty(const char* argument, PropertyRule rule,
                  std::vector<std::pair<std::string, std::string>>& properties,
                  UsageScreen screen) {
  const char* separator = std::strchr(argument, '=');
  if (!separator || separator == argument) {
    usageError(std::string("*** Invalid property specified: ") + argument +
                   " (expected <property>=<value>) ***",
               screen);
  }
  const std::string name(argument, separator);
  if (rule == PropertyRule::DriverRefused && sameRegistryName(name, "Driver")) {
    usageError("*** " + name + " cannot be given: add writes it from the driver's registration ***",
               screen);
  }
  for (const auto& given : properties) {
    if (sameRegistryName(given.first, name)) {
      usageError("*** Property " + name + " is given more than once ***", screen);
    }
  }
  properties.emplace_back(name, separator + 1);
}

std::string readDsnName(ArgCursor& cursor, UsageScreen screen) {
  if (cursor.remaining() < 1) notEnoughArguments(screen);
  const char* name = cursor.next();
  if (std::strlen(name) > kMaxTargetName) {
    usageError("*** DSN is longer than " + std::to_string(kMaxTargetName) + " ***", screen);
  }
  if (!validateDsnName(name)) printUsageAndExit(screen, true);
  if (isOdbcIniSpecialKey(name)) {
    usageError(std::string("*** ") + name +
                   " is not a valid DSN: ODBC.INI keeps its own settings under that name ***",
               screen);
  }
  return name;
}

}  // namespace dsnconf
