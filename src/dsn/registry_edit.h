// Making and unmaking a data source's keys in one place: the places a
// command line names, the keys a creation made (so that a failed run can take
// them back), and the deletion of a key with everything below it.
#pragma once

#include <string>
#include <vector>

#include "dsn/places.h"
#include "win32.h"

namespace dsnconf {

// A command line's choice of places: /user or /system, and /64, /32 or
// neither. On a system with one registry view both view words mean that view.
struct PlaceChoice {
  Scope scope = Scope::User;
  MachineView view = MachineView::None;
};

// The machine view a view word names: the 64-bit or 32-bit view, or the one
// view of a 32-bit system.
const Place& machineViewPlace(MachineView view);

// The places the choice names: the user's tree, one machine view, or every
// machine view there is.
std::vector<const Place*> chosenPlaces(const PlaceChoice& choice);

// How messages name a data source of the choice, e.g. "64-bit system DSN" or,
// for both machine views, "system DSN".
std::string choiceDsnLabel(const PlaceChoice& choice);

// How messages name a data source of a place: "64-bit system DSN Payroll".
std::string placeDsnLabel(const Place& place, const std::string& name);

// "*** Got error code <n> while looking for the <place> DSN <name> ***".
void printDsnLookupFailure(const Place& place, const std::string& name, LSTATUS status);

// "*** Got error code <n> while <doing> the <place> DSN <name> ***", followed
// by the administrator hint where a standard user is the likely cause.
void printDsnChangeFailure(const char* doing, const Place& place, const std::string& name,
                           LSTATUS status);

// "SOFTWARE\ODBC\ODBC.INI\<name>".
std::string dsnKeyPath(const std::string& name);

// Whether the data source's key exists in the place; the registry error that
// kept it from being looked at otherwise.
LSTATUS dsnKeyExists(const Place& place, const std::string& name, bool& exists);

// A data source's entry in the place's "ODBC Data Sources" list.
struct ListEntry {
  bool found = false;
  DWORD type = REG_NONE;
  std::string data;  // its exact bytes

  // The data up to its first zero byte.
  std::string text() const;
};
LSTATUS readListEntry(const Place& place, const std::string& name, ListEntry& entry);

// Deletes `subKey` of `parent` with every key below it, deepest first, in the
// view `view` (0 for the user's tree).
LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view);

// The keys one run created in one place, in the order it created them, so
// that they can be deleted again, last first.
class CreatedKeys {
 public:
  explicit CreatedKeys(const Place& place) : place_(&place) {}

  // Creates `path` one level at a time, noting each key that did not exist.
  // `created` tells whether the last level is new.
  LSTATUS create(const std::string& path, bool& created);
  // Deletes the keys create made, last first. The caller has deleted the
  // values it wrote to keys that existed before.
  LSTATUS undo();

 private:
  const Place* place_;
  std::vector<std::string> paths_;
};

}  // namespace dsnconf
