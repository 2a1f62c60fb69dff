#include "dsn/dsn_lookup.h"

#include "base/output.h"
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

}  // namespace

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
  }
  return ERROR_SUCCESS;
}

bool lookUpFamilyDataSource(const PlaceChoice& choice, const std::string& name, const char* nothing,
                            std::vector<Holding>& holdings) {
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
    printNotTheFamilys(holding, name, nothing);
    return false;
  }
  return true;
}

}  // namespace dsnconf
