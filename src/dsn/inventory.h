// The family's whole configuration in the registry, read in one walk
// (dsn/family_walk.h): the data sources of each place with their properties,
// the list entries the other walks skip, keys no list names, tracing and the
// drivers' registrations. What check diagnoses, export writes out and show
// prints are read there and only there.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

#include "dsn/odbc_ini.h"
#include "dsn/places.h"
#include "dsn/property_checks.h"
#include "dsn/reg_read.h"
#include "win32.h"

namespace dsnconf {

// An entry of a data-source list ("ODBC Data Sources") that the walks skip.
struct UnreadableEntry {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
  EntryProblem problem = EntryProblem::NotAString;
};

// A key below a data source's key, where a driver may keep settings of its
// own: its path below the data source's key ("Engines\Jet") and its values.
struct Subkey {
  std::string path;
  std::vector<RegistryValue> values;  // in registry order
};

// A data source whose list entry names one of the family's drivers.
struct FamilyDataSource {
  std::string name;       // as the list names it
  std::string driver;     // the family driver name of its list entry
  std::string entryData;  // the list entry's bytes as stored (a REG_SZ)
  // Whether the data source's own key exists in the same place. Without it
  // the Driver Manager cannot use the data source, and `view /all` stops.
  bool hasKey = false;
  std::vector<RegistryValue> properties;  // in registry order
  std::vector<Subkey> subkeys;            // each before those below it, in registry order
  // Set where the walk kept only the properties check looks at one by one
  // (KeptValues::Findings): what all of them hash to.
  std::optional<PropertiesDigest> digest;

  const RegistryValue* property(const char* name) const;
};

// A key under ODBC.INI that no entry of its place's list names.
struct UnlistedKey {
  std::string name;
  // Its "Driver" value where that is a string: the driver's file.
  std::optional<std::string> driverFile;
  // Its values, in registry order: what listing the key would make a data
  // source of, and what removing it would lose.
  std::vector<RegistryValue> values = {};
};

// The trace settings of a place: the values "Trace" and "TraceFile" of its
// ODBC.INI\ODBC key, where they exist.
struct TraceSettings {
  std::optional<RegistryValue> trace;
  std::optional<RegistryValue> traceFile;
};

// One of the family's drivers in a machine view: its ODBCINST.INI key and
// its entry in "ODBC Drivers". Only drivers with either are listed.
struct DriverRegistration {
  std::string driver;
  bool hasKey = false;
  bool listed = false;
  std::vector<RegistryValue> values;  // the key's values, in registry order

  // The "Driver" value where it is a string: the driver's file.
  std::optional<std::string> driverFile() const;
};

struct PlaceInventory {
  const Place* place = nullptr;
  bool hasList = false;                       // the place has an "ODBC Data Sources" key
  std::vector<FamilyDataSource> dataSources;  // in list order
  std::vector<UnreadableEntry> unreadableEntries;
  // The readable list entries that name a driver of another family.
  std::vector<std::string> otherEntries;
  std::vector<UnlistedKey> unlistedKeys;  // sorted by name, as the registry lists keys
  TraceSettings tracing;
  std::vector<DriverRegistration> registrations;  // machine places: GEN3, GEN2, GEN1 order
  // Machine places: whether ODBCINST.INI\ODBC Drivers exists, which reg /add
  // needs in order to register a driver in the view.
  bool hasDriverList = false;
  // Machine places: "DefaultDSNDir" of ODBC.INI\ODBC File DSN, where it is a
  // string: the folder file data sources are looked for in.
  std::optional<std::string> defaultDsnDir;
  // Every name the place holds (see holdsName), case folded: a repair hint
  // asks it of every earlier place for every data source.
  std::unordered_set<std::string> heldNames;
};

struct Inventory {
  std::vector<PlaceInventory> places;  // allPlaces() order: user, 64-bit, 32-bit

  const PlaceInventory* find(const Place& place) const;
};

// Where reading stopped, for the one line that reports it.
struct InventoryFailure {
  LSTATUS status = ERROR_SUCCESS;
  std::string key;  // "HKEY_LOCAL_MACHINE\SOFTWARE\..." (the view's own path)
};

// The one line that says where reading stopped.
void printInventoryFailure(const InventoryFailure& failure);

// What a place's record keeps of each data source once the walk has handed
// it on: its list entry alone; its name, driver, whether its key exists and
// its Driver value; that and every value of its key (what the finding rules
// ask of it); or everything, every value and subkey.
// Findings: the Driver value, the passwords and the strings too long for the
// first commands, with a digest of every property: what check's rules ask.
enum class KeptValues { None, Driver, Findings, Properties, All };

// Reads every place, keeping of each data source what `kept` says. Missing
// keys are simply absent; any other registry error (an unreadable hive, 1009)
// stops the reading and is returned.
LSTATUS readInventory(Inventory& inventory, InventoryFailure& failure,
                      KeptValues kept = KeptValues::All);

// What the finding rules ask of the inventory.

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

// Fills the place's heldNames from its lists: the reader does it once the
// place's list and unlisted keys are read.
void indexHeldNames(PlaceInventory& place);

// Whether the place holds the name in any form: a data source of the family
// or of another driver, an entry the walks skip, or a key no list names.
bool holdsName(const PlaceInventory& place, const std::string& name);

}  // namespace dsnconf
