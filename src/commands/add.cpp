// add: creates one data source for a driver of the family in the places
// chosen. Every place is checked before anything is written: the driver must
// be registered in the registry view the place uses, and the name must be
// free. Then, through one plan, each place gets the data source's key, with
// Driver and the properties, and last its list entry; a failure takes back
// what the run made in every place.
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/change_plan.h"
#include "dsn/driver_registration.h"
#include "dsn/dsn_lookup.h"
#include "dsn/odbc_ini.h"
#include "dsn/shown_value.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

// "/adopt" and one character more, so that a longer word is not taken for it.
constexpr std::size_t kAdoptWordBuffer = 8;

struct AddRequest {
  PlaceChoice places;
  std::string name;
  DriverVersion version = GEN3;
  // Names and values in the order given; neither "Driver" nor a name twice.
  std::vector<std::pair<std::string, std::string>> properties;
  // Lists the key a killed add left behind, instead of making one.
  bool adopt = false;
  bool whatIf = false;
};

// A place to create the data source in, and the registration it uses.
struct Destination {
  const Place* place = nullptr;
  UsedRegistration registration;
};

void printExists(const Place& place, const std::string& name) {
  printLine("*** The " + placeDsnLabel(place, name) + " already exists ***");
}

void printCreated(const Destination& destination, const std::string& name, const char* driver) {
  std::string line = "Created the " + placeDsnLabel(*destination.place, name) + " for ";
  if (destination.place->scope == Scope::User) {
    line += std::string("the ") + viewBits(*destination.registration.view) + "-bit ";
  }
  printLine(line + "'" + driver + "'.");
}

bool isFree(const Place& place, const std::string& name) {
  bool hasKey = false;
  std::optional<RegistryValue> entry;
  LSTATUS status = dsnKeyExists(place, name, hasKey);
  if (status == ERROR_SUCCESS) status = readListEntry(place, name, entry);
  if (status != ERROR_SUCCESS) {
    printDsnLookupFailure(place, name, status);
    return false;
  }
  if (!hasKey && !entry) return true;
  printExists(place, name);
  return false;
}

bool planDestinations(const AddRequest& request, std::vector<Destination>& destinations) {
  for (const Place* place : chosenPlaces(request.places)) {
    Destination destination;
    destination.place = place;
    if (!chooseRegistration(*place, request.places.view, request.version, request.name,
                            destination.registration) ||
        !isFree(*place, request.name)) {
      return false;
    }
    destinations.push_back(destination);
  }
  return true;
}

// The key with Driver and the properties, then the list entry.
Action creation(const Destination& destination, const AddRequest& request) {
  const Place& place = *destination.place;
  const std::string subject = "DSN " + request.name;
  const std::string key = dsnKeyPath(request.name);
  const char* driver = kDriverNames[request.version];
  Action action;
  action.place = &place;
  action.dsn = request.name;
  action.lines.push_back(planLine('+', place, subject, std::string("driver '") + driver + "'"));
  action.operations.push_back(opCreateNewKey(place, key));
  std::vector<std::pair<std::string, std::string>> values = {
      {"Driver", destination.registration.file}};
  values.insert(values.end(), request.properties.begin(), request.properties.end());
  for (const auto& [name, text] : values) {
    const RegistryValue value{name, REG_SZ, stringData(text)};
    action.lines.push_back(planLine('+', place, subject, name + " = " + shownData(value, PasswordData::LeftOut)));
    action.operations.push_back(opSetValue(place, key, value));
  }
  action.operations.push_back(opCreateKey(place, kDataSourceListPath));
  action.operations.push_back(
      opSetValue(place, kDataSourceListPath, {request.name, REG_SZ, stringData(driver)}));
  return action;
}

// An existing key, unlisted, whose Driver is the file of the driver asked for
// in a view the place uses: its list entry (and the properties given) make it
// the data source that the add which made it did not finish.
bool planAdoption(const AddRequest& request, Plan& plan) {
  const char* driver = kDriverNames[request.version];
  for (const Place* place : chosenPlaces(request.places)) {
    Holding holding;
    const LSTATUS status = lookUp(*place, request.name, holding);
    if (status != ERROR_SUCCESS) {
      printDsnLookupFailure(*place, request.name, status);
      return false;
    }
    const std::string label = "*** The " + placeDsnLabel(*place, request.name);
    if (holding.entry) {
      printLine(label + " is listed already: nothing was written ***");
      return false;
    }
    if (!holding.hasKey) {
      printLine(label + " has no key to list: nothing was written ***");
      return false;
    }
    if (holding.keyDriver != request.version || !usesView(*place, *holding.keyDriverView)) {
      printLine(label + " has no Driver that '" + driver +
                "' is registered with there: nothing was written ***");
      return false;
    }
    const std::string subject = "DSN " + request.name;
    const std::string key = dsnKeyPath(request.name);
    Action action;
    action.place = place;
    action.dsn = request.name;
    action.lines.push_back(
        planLine('+', *place, subject, std::string("listed for '") + driver + "'"));
    for (const auto& [name, text] : request.properties) {
      const RegistryValue value{name, REG_SZ, stringData(text)};
      action.lines.push_back(planLine('~', *place, subject, name + " = " + shownData(value, PasswordData::LeftOut)));
      action.operations.push_back(opSetValue(*place, key, value));
    }
    action.operations.push_back(opCreateKey(*place, kDataSourceListPath));
    action.operations.push_back(
        opSetValue(*place, kDataSourceListPath, {request.name, REG_SZ, stringData(driver)}));
    plan.actions.push_back(std::move(action));
  }
  return true;
}

void reportFailure(const Plan& plan, const Outcome& outcome, const std::string& name) {
  const Place& place = *plan.actions[outcome.failedAction].place;
  if (outcome.keyTaken) {
    printExists(place, name);
  } else {
    printDsnChangeFailure("creating", place, name, outcome.status);
  }
  for (const Outcome::UndoFailure& failure : outcome.notTakenBack) {
    printDsnChangeFailure("taking back", *failure.place, name, failure.status);
  }
}

int addDataSource(const AddRequest& request) {
  std::vector<Destination> destinations;
  Plan plan;
  if (request.adopt) {
    if (!planAdoption(request, plan)) return 1;
  } else {
    if (!planDestinations(request, destinations)) return 1;
    for (const Destination& destination : destinations) {
      plan.actions.push_back(creation(destination, request));
    }
  }
  if (request.whatIf) {
    printPlan(plan);
    return 0;
  }
  const Outcome outcome = carryOut(plan);
  if (!outcome.succeeded()) {
    reportFailure(plan, outcome, request.name);
    return 1;
  }
  for (const Destination& destination : destinations) {
    printCreated(destination, request.name, kDriverNames[request.version]);
  }
  if (request.adopt) {
    for (const Action& adopted : plan.actions) {
      printLine("Listed the " + placeDsnLabel(*adopted.place, request.name) + " for '" +
                kDriverNames[request.version] + "'.");
    }
  }
  return 0;
}

bool isAdoptWord(const char* argument) {
  char word[kAdoptWordBuffer];
  normaliseKeyword(argument, word);
  return equalsKeyword(word, "/adopt");
}

}  // namespace

int runAdd(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Add);
  AddRequest request;
  request.whatIf = takeWhatIf(cursor);
  readPlaces(cursor, request.places, "add", UsageScreen::Add);
  request.name = readDsnName(cursor, UsageScreen::Add);
  // A word without '=' right after the name is the driver version.
  const char* version = cursor.peek();
  if (version && !std::strchr(version, '=') && !isAdoptWord(version)) {
    request.version = parseDriverVersion(cursor.next(), UsageScreen::Add);
  }
  while (const char* property = cursor.next()) {
    if (isAdoptWord(property) && !request.adopt) {
      request.adopt = true;
      continue;
    }
    readProperty(property, PropertyRule::DriverRefused, request.properties, UsageScreen::Add);
  }
  return addDataSource(request);
}

}  // namespace dsnconf
