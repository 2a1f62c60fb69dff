// Data-source targets (/dsn, /fdsn, /all) and driver versions (GEN1-GEN3):
// parsing, validation and the family's driver names.
#pragma once

#include <cstddef>
#include <cstdint>

#include "cli/arg_cursor.h"
#include "cli/usage.h"

namespace dsnconf {

enum class DsnKind : std::int32_t { Registry = 0, File = 1, All = 2 };

// The longest data-source name or file path a target holds.
constexpr std::size_t kMaxTargetName = 260;

struct DsnTarget {
  char name[kMaxTargetName + 1] = {};
  DsnKind kind = DsnKind::Registry;
};

enum DriverVersion : std::int32_t { GEN1 = 0, GEN2 = 1, GEN3 = 2 };

// Indexed by DriverVersion; GEN3 is the current driver.
extern const char* const kDriverNames[3];

// Takes the mode word and, for /dsn and /fdsn, the name. On false one line
// has been printed and the caller shows its usage screen.
bool parseDsnTarget(ArgCursor& cursor, DsnTarget& target);

// Asks the ODBC installer whether a Registry or File target may be used. On
// false one line has been printed.
bool validateDsnTarget(const DsnTarget& target);

// Does not return for an argument that names no driver version.
DriverVersion parseDriverVersion(const char* argument, UsageScreen screen);

// Exact, case-sensitive comparison with the three names.
bool isKnownDriverName(const char* driverName);

}  // namespace dsnconf
