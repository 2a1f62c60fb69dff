#include "dsn/target.h"

#include <cstring>
#include <string>

#include "cli/output.h"

namespace dsnconf {

const char* const kDriverNames[3] = {
    "Brenmoor ODBC Driver (32-bit)",
    "Sarvonet ODBC Driver",
    "Ivorel ODBC Driver",
};

namespace {

// Mode words are compared on their first six characters.
constexpr std::size_t kModeWordBuffer = 7;
// Driver versions are compared on their first four characters.
constexpr std::size_t kDriverVersionBuffer = 5;

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

bool isKnownDriverName(const char* driverName) {
  for (std::int32_t row = GEN3; row >= GEN1; --row) {
    if (std::strcmp(driverName, kDriverNames[row]) == 0) return true;
  }
  return false;
}

}  // namespace dsnconf
