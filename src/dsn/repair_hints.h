// The dsnconf command lines that check offers as repairs: which data sources
// a command line can name, the words that choose a place, and the line as
// cmd.exe and PowerShell both run it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/inventory.h"

namespace dsnconf {

// Whether a hint may name the data source: a name the installer accepts and
// a command line carries whole.
bool isHintableName(const std::string& name);

// Whether `/dsn <name>` reaches this place's data source: set, name and
// remove act on the first place that has the name, user first, and the name
// must be one the installer accepts.
bool reachedByDsnTarget(const Inventory& inventory, const PlaceInventory& place,
                        const std::string& name);

// The words that choose the place on the command lines of add, remove and
// trace: "/user", "/system /64" or "/system /32".
std::vector<std::string> placeWords(const Place& place);

// "dsnconf reg /add GENn" where it registers the earlier driver in the views
// (the current driver registered there to copy from), else nothing.
std::optional<std::string> registerHint(const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver);

// "dsnconf <arguments>" quoted for both shells, or nothing where an argument
// cannot be printed safely for both (base/shell_quoting.h).
std::optional<std::string> dsnconfLine(const std::vector<std::string>& arguments);

}  // namespace dsnconf
