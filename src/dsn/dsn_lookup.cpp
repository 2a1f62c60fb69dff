#include "dsn/dsn_lookup.h"

#include <algorithm>

#include "base/output.h"
#include "dsn/driver_registration.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

void printNotFound(const PlaceChoice& choice, const std::string& name) {
  printLine("*** There is no " + choiceDsnLabel(choice) + " " + name + " ***");
}

void printNotTheFamilys(const Holding& holding, const std::string& name, const char* nothing) {
  const std::string label = "*** The " + placeDsnLabel(*holding.place, name);
  const std::string tail = std::string(": ") + nothing + " ***";
  if (holding.standing == Standing::Unlisted) {
    printLine(label + " is not listed in ODBC Data Sources" + tail);
  } else if (holding.entry->type == REG_SZ) {
    printLine(label + " uses '" + holding.entry->text() + "', not an Ivorel driver" + tail);
  } else {
    printLine(label + " is not listed with an Ivorel driver" + tail);
  }
}

// The family driver registered with the key's Driver file, preferring a view
// the place uses.
LSTATUS readKeyDriver(const Place& place, const std::string& name, Holding& holding) {
  RegKeyHolder key;
  bool found = false;
  RegistryValue driver;
  LSTATUS status =
      openKeyIfPresent(place.root, dsnKeyPath(name), KEY_QUERY_VALUE | place.viewFlag, key, found);
  if (status == ERROR_SUCCESS && found) status = readWholeValue(key.get(), "Driver", driver, found);
  if (status != ERROR_SUCCESS || !found || driver.type != REG_SZ) return status;
  std::vector<const Place*> views = machinePlaces();
  std::stable_partition(views.begin(), views.end(),
                        [&](const Place* view) { return usesView(place, *view); });
  for (const Place* view : views) {
    for (int version = GEN3; version >= GEN1; --version) {
      Registration state = Registration::Missing;
      std::string file;
      status = readRegistration(*view, kDriverNames[version], state, file);
      if (status != ERROR_SUCCESS) return status;
      if (state != Registration::Usable || !sameRegistryName(file, driver.text())) continue;
      holding.keyDriver = static_cast<DriverVersion>(version);
      holding.keyDriverView = view;
      return ERROR_SUCCESS;
    }
  }
  return ERROR_SUCCESS;
}

}  // namespace

bool usesView(const Place& place, const Place& view) {
  return place.scope == Scope::User || &place == &view;
}

LSTATUS lookUp(const Place& place, const std::string& name, Holding& holding) {
  holding.place = &place;
  LSTATUS status = readListEntry(place, name, holding.entry);
  if (status == ERROR_SUCCESS) status = dsnKeyExists(place, name, holding.hasKey);
  if (status != ERROR_SUCCESS) return status;
  if (holding.entry) {
    const bool family = readEntry(*holding.entry).namesFamilyDriver;
    holding.standing = family ? Standing::Family : Standing::OtherDriver;
  } else if (holding.hasKey) {
    holding.standing = Standing::Unlisted;
    return readKeyDriver(place, name, holding);
  }
  return ERROR_SUCCESS;
}

bool lookUpFamilyDataSource(const PlaceChoice& choice, const std::string& name, const char* nothing,
                            std::vector<Holding>& holdings, UnlistedKeys unlisted) {
  // Every place is looked at before anything is changed: a data source that
  // is not demonstrably the family's in one place stops the whole run.
  for (const Place* place : chosenPlaces(choice)) {
    Holding holding;
    const LSTATUS status = lookUp(*place, name, holding);
    if (status != ERROR_SUCCESS) {
      printDsnLookupFailure(*place, name, status);
      return false;
    }
    if (holding.standing != Standing::Absent) holdings.push_back(holding);
  }
  if (holdings.empty()) {
    printNotFound(choice, name);
    return false;
  }
  for (const Holding& holding : holdings) {
    if (holding.standing == Standing::Family) continue;
    if (holding.standing == Standing::Unlisted && holding.keyDriver &&
        unlisted == UnlistedKeys::OfTheFamily) {
      continue;
    }
    printNotTheFamilys(holding, name, nothing);
    return false;
  }
  return true;
}

}  // namespace dsnconf
