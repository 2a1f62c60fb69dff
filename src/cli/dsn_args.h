// The words of command lines that name data sources and drivers: the targets
// /dsn, /fdsn and /all, the driver versions GEN1-GEN3, and the places and the
// name that add, remove and the later commands take.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "cli/arg_cursor.h"
#include "cli/usage.h"
#include "dsn/family.h"
#include "dsn/places.h"
#include "dsn/target.h"

namespace dsnconf {

// Takes the mode word and, for /dsn and /fdsn, the name. On false one line
// has been printed and the caller shows its usage screen.
bool parseDsnTarget(ArgCursor& cursor, DsnTarget& target);

// Parses the target and validates a /dsn or /fdsn one; ends the run with the
// command's screen when either step refuses it.
void readTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen);

// The same for the commands of one data source: /all is refused without a line.
void readSingleTarget(ArgCursor& cursor, DsnTarget& target, UsageScreen screen);

// Does not return for an argument that names no driver version.
DriverVersion parseDriverVersion(const char* argument, UsageScreen screen);

// The scope word (/user or /system) and a view word after it (/64 or /32,
// compared as typed); `command` names the command in the line for a wrong word.
void readPlaces(ArgCursor& cursor, PlaceChoice& places, const char* command, UsageScreen screen);

// A property given as <property>=<value>, split at its first '=': added to
// `properties` in the order given. Its name may not be empty nor given twice;
// add refuses Driver, which it writes from the driver's registration.
enum class PropertyRule { DriverRefused, DriverAllowed };
void readProperty(const char* argument, PropertyRule rule,
                  std::vector<std::pair<std::string, std::string>>& properties, UsageScreen screen);

// The data source's name, checked as a /dsn target is; the names of the
// special keys of ODBC.INI are refused too, since their keys hold settings.
std::string readDsnName(ArgCursor& cursor, UsageScreen screen);

}  // namespace dsnconf
