// The command lines that check offers as repairs: which data sources and
// properties a command line can name, the words that choose a place, and the
// line as cmd.exe and PowerShell both run it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/finding_survey.h"
#include "dsn/inventory.h"

namespace dsnconf {

// Whether a hint may name the data source: a name the installer accepts and
// a command line carries whole.
bool isHintableName(const std::string& name);

// Whether change takes the name as a property to set or remove: not empty,
// no '=' (a setting is split at its first), and not read as a keyword.
bool isHintableProperty(const std::string& name);

// Whether `/dsn <name>` reaches this place's data source: set, name and
// remove act on the first place that has the name, user first, and the name
// must be one the installer accepts.
bool reachedByDsnTarget(const Inventory& inventory, const PlaceInventory& place,
                        const std::string& name);

// The words that choose the place on the command lines of add, remove,
// change and trace: "/user", "/system /64" or "/system /32".
std::vector<std::string> placeWords(const Place& place);

// "dsnconf reg /add GENn" where it registers the earlier driver in one of
// the views (the current driver registered there to copy from, with an
// ODBC Drivers key) and leaves every data source's Driver file matching
// where it matched; else nothing.
std::optional<std::string> registerHint(const Survey& survey,
                                        const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver);

// Windows' own reg add of the driver's entry in the view's ODBC Drivers, the
// one thing missing from a registration whose key exists (reg /add stops at
// the key): "/reg:64" or "/reg:32" chooses the view; a system of one view
// needs neither.
std::optional<std::string> driverListHint(const Survey& survey, const PlaceInventory& view,
                                          const std::string& driver);

// "dsnconf change <place words> <DSN> <p>=<v> ... /remove <p> ...".
std::optional<std::string> changeHint(const std::vector<std::string>& placeWords,
                                      const std::string& name,
                                      const std::vector<std::string>& settings,
                                      const std::vector<std::string>& removals);

// "dsnconf <arguments>" quoted for both shells, or nothing where an argument
// cannot be printed safely for both (base/shell_quoting.h) or the line is
// longer than a Command Prompt takes.
std::optional<std::string> dsnconfLine(const std::vector<std::string>& arguments);

}  // namespace dsnconf
