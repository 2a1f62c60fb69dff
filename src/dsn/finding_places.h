// What the finding rules ask of the inventory: where a driver is registered,
// which views use a data source, which place a /dsn target reaches, and the
// repair that registering an earlier driver makes.
#pragma once

#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "dsn/inventory.h"

namespace dsnconf::findings {

// "GEN1", "GEN2" or "GEN3" for a family driver name.
const char* versionWord(const std::string& driver);
bool isEarlierDriver(const std::string& driver);
std::string quoted(const std::string& text);

const DriverRegistration* findRegistration(const PlaceInventory& place, const std::string& driver);

// Registered in a view means its ODBCINST.INI key exists there: the key is
// what the Driver Manager loads the driver from.
bool isRegistered(const PlaceInventory& place, const std::string& driver);

std::vector<const PlaceInventory*> machineViews(const Inventory& inventory);

// The machine views a data source of `place` is used from: its own view, or
// for a user data source every view.
std::vector<const PlaceInventory*> viewsUsing(const Inventory& inventory,
                                              const PlaceInventory& place);

bool registeredInAny(const std::vector<const PlaceInventory*>& views, const std::string& driver);

// Whether a hint may name the data source: a name the installer accepts and
// a command line carries whole.
bool isHintableName(const std::string& name);

// Whether `/dsn <name>` reaches this place's data source: set, name and
// remove act on the first place that has the name, user first, and the name
// must be one the installer accepts.
bool reachedByDsnTarget(const Inventory& inventory, const PlaceInventory& place,
                        const std::string& name);

// The words that choose the place on the command lines of add and remove:
// "/user", "/system /64" or "/system /32".
std::string placeWords(const Place& place);

// "dsnconf reg /add GENn" where it registers the earlier driver in the views
// (the current driver registered there to copy from), else nothing.
std::optional<std::string> registerHint(const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver);

// The names of a place's family data sources, case folded.
std::unordered_set<std::string> foldedNames(const PlaceInventory& place);

// "the 64-bit system view", "either system view" or "the system view".
std::string viewsText(const Inventory& inventory, const PlaceInventory& place);

}  // namespace dsnconf::findings
