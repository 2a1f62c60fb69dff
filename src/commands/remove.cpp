// remove: deletes one data source of the family from the places chosen. Only
// a data source whose list entry names a driver of the family is removed: its
// list entry first, then its key with everything below it, so that a run
// stopped between the two leaves at worst a key that no list names.
#include <optional>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/change_plan.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

struct DsnRequest {
  PlaceChoice places;
  std::string name;
  bool whatIf = false;
};

enum class Standing { Absent, Family, OtherDriver, Unlisted };

// What one place holds under the data source's name.
struct Holding {
  const Place* place = nullptr;
  Standing standing = Standing::Absent;
  bool hasKey = false;
  std::optional<RegistryValue> entry;
};

void printNotFound(const DsnRequest& request) {
  printLine("*** There is no " + choiceDsnLabel(request.places) + " " + request.name + " ***");
}

void printNotTheFamilys(const Holding& holding, const std::string& name) {
  const std::string label = "*** The " + placeDsnLabel(*holding.place, name);
  if (holding.standing == Standing::Unlisted) {
    printLine(label + " is not listed in ODBC Data Sources: nothing was removed ***");
  } else if (holding.entry->type == REG_SZ) {
    printLine(label + " uses '" + holding.entry->text() +
              "', not an Ivorel driver: nothing was removed ***");
  } else {
    printLine(label + " is not listed with an Ivorel driver: nothing was removed ***");
  }
}

void printRemoved(const Holding& holding, const std::string& name) {
  if (holding.hasKey) {
    printLine("Removed the " + placeDsnLabel(*holding.place, name) + ".");
  } else {
    printLine("Removed the list entry of the " + placeDsnLabel(*holding.place, name) +
              ", whose key was already gone.");
  }
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
  }
  return ERROR_SUCCESS;
}

// The list entry goes first, then the key with everything below it. Where
// the key cannot be deleted, the plan's taking back writes the entry again,
// so that the data source stays whole and remove can be run again.
Action removal(const Holding& holding, const std::string& name) {
  const Place& place = *holding.place;
  Action action;
  action.place = &place;
  action.lines.push_back(planLine('-', place, "DSN " + name));
  action.operations.push_back(opDeleteValue(place, kDataSourceListPath, name));
  if (holding.hasKey) action.operations.push_back(opDeleteKeyTree(place, dsnKeyPath(name)));
  return action;
}

int removeDataSource(const DsnRequest& request) {
  // Every place is looked at before anything is removed: a data source that
  // is not demonstrably the family's in one place stops the whole run.
  std::vector<Holding> holdings;
  for (const Place* place : chosenPlaces(request.places)) {
    Holding holding;
    const LSTATUS status = lookUp(*place, request.name, holding);
    if (status != ERROR_SUCCESS) {
      printDsnLookupFailure(*place, request.name, status);
      return 1;
    }
    if (holding.standing != Standing::Absent) holdings.push_back(holding);
  }
  if (holdings.empty()) {
    printNotFound(request);
    return 1;
  }
  for (const Holding& holding : holdings) {
    if (holding.standing == Standing::Family) continue;
    printNotTheFamilys(holding, request.name);
    return 1;
  }
  Plan plan;
  for (const Holding& holding : holdings) plan.actions.push_back(removal(holding, request.name));
  if (request.whatIf) {
    printPlan(plan);
    return 0;
  }
  const Outcome outcome = carryOut(plan);
  if (!outcome.succeeded()) {
    printDsnChangeFailure("removing", *plan.actions[outcome.failedAction].place, request.name,
                          outcome.status);
    for (const Outcome::UndoFailure& failure : outcome.notTakenBack) {
      printDsnChangeFailure("taking back", *failure.place, request.name, failure.status);
    }
    return 1;
  }
  for (const Holding& holding : holdings) printRemoved(holding, request.name);
  return 0;
}

}  // namespace

int runRemove(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Remove);
  DsnRequest request;
  request.whatIf = takeWhatIf(cursor);
  readPlaces(cursor, request.places, "remove", UsageScreen::Remove);
  request.name = readDsnName(cursor, UsageScreen::Remove);
  if (const char* extra = cursor.next()) {
    usageError(std::string("*** Unexpected argument specified: ") + extra + " ***",
               UsageScreen::Remove);
  }
  return removeDataSource(request);
}

}  // namespace dsnconf
