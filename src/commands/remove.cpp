// remove: deletes one data source of the family from the places chosen. Only
// a data source whose list entry names a driver of the family is removed: its
// list entry first, then its key with everything below it, so that a run
// stopped between the two leaves at worst a key that no list names. Such a
// key, whose Driver is a family driver's file, is removed too.
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/change_plan.h"
#include "dsn/dsn_lookup.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

struct DsnRequest {
  PlaceChoice places;
  std::string name;
  bool whatIf = false;
};

void printRemoved(const Holding& holding, const std::string& name) {
  if (!holding.entry) {
    printLine("Removed the " + placeDsnLabel(*holding.place, name) + ", which no list named.");
  } else if (holding.hasKey) {
    printLine("Removed the " + placeDsnLabel(*holding.place, name) + ".");
  } else {
    printLine("Removed the list entry of the " + placeDsnLabel(*holding.place, name) +
              ", whose key was already gone.");
  }
}

// The list entry goes first, then the key with everything below it. Where
// the key cannot be deleted, the plan's taking back writes the entry again,
// so that the data source stays whole and remove can be run again.
Action removal(const Holding& holding, const std::string& name) {
  const Place& place = *holding.place;
  Action action;
  action.place = &place;
  action.dsn = name;
  action.lines.push_back(planLine('-', place, "DSN " + name));
  if (holding.entry) action.operations.push_back(opDeleteValue(place, kDataSourceListPath, name));
  if (holding.hasKey) action.operations.push_back(opDeleteKeyTree(place, dsnKeyPath(name)));
  return action;
}

int removeDataSource(const DsnRequest& request) {
  std::vector<Holding> holdings;
  if (!lookUpFamilyDataSource(request.places, request.name, "nothing was removed", holdings,
                              UnlistedKeys::OfTheFamily)) {
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
