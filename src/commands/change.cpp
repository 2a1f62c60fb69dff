// change: sets and removes properties of one data source of the family, in
// each copy the command line chooses: the user's, one machine view's, or
// every machine view that has it. Every place is checked and planned before
// anything is written; a failure takes back every change made. A second run
// of the same command line finds nothing to change and exits 0 as well.
#include <cstring>
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
#include "dsn/passwords.h"
#include "dsn/shown_value.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

constexpr const char* kNothingChanged = "nothing was changed";

struct ChangeRequest {
  PlaceChoice places;
  std::string name;
  std::vector<std::pair<std::string, std::string>> settings;  // in the order given
  std::vector<std::string> removals;                          // in the order given
  bool whatIf = false;
};

// What changes in one copy of the data source.
struct PlaceChange {
  const Place* place = nullptr;
  std::vector<std::string> set;
  std::vector<std::string> removed;
  Action action;
};

const RegistryValue* findValue(const std::vector<RegistryValue>& values, const std::string& name) {
  for (const RegistryValue& value : values) {
    if (sameRegistryName(value.name, name)) return &value;
  }
  return nullptr;
}

std::string shown(const RegistryValue& value) {
  return shownData(value, PasswordData::LeftOut);
}

void printNoKey(const Place& place, const std::string& name) {
  printLine("*** The " + placeDsnLabel(place, name) + " is listed but its key ODBC.INI\\" + name +
            " does not exist: " + kNothingChanged + " ***");
}

void printReadFailure(const Place& place, const std::string& name, LSTATUS status) {
  printDsnLookupFailure(place, name, status);
}

// A new Driver value names the file the data source's driver is registered
// with in the view the copy is used from (for a user data source, either
// view), compared without regard to case as Windows compares file names.
bool isRegisteredFile(const Place& place, const std::string& driver, const std::string& file,
                      std::string& expected) {
  const std::vector<const Place*> views =
      place.scope == Scope::User ? machinePlaces() : std::vector<const Place*>{&place};
  for (const Place* view : views) {
    Registration state = Registration::Missing;
    std::string registered;
    if (readRegistration(*view, driver.c_str(), state, registered) != ERROR_SUCCESS ||
        state != Registration::Usable) {
      continue;
    }
    if (sameRegistryName(registered, file)) return true;
    if (expected.empty()) expected = registered;
  }
  return false;
}

void printWrongDriverFile(const Place& place, const std::string& name, const std::string& driver,
                          const std::string& expected) {
  const std::string registered =
      expected.empty() ? " is not registered there" : " is registered with '" + expected + "'";
  printLine("*** Driver of the " + placeDsnLabel(place, name) + " must be the file its driver '" +
            driver + "'" + registered + ": " + kNothingChanged + " ***");
}

// Plans one copy; false after a line has said why it cannot be changed.
bool planPlace(const Holding& holding, const ChangeRequest& request, PlaceChange& change) {
  const Place& place = *holding.place;
  const std::string key = dsnKeyPath(request.name);
  const std::string subject = "DSN " + request.name;
  if (!holding.hasKey) {
    printNoKey(place, request.name);
    return false;
  }
  RegKeyHolder opened;
  bool found = false;
  std::vector<RegistryValue> current;
  LSTATUS status = openKeyIfPresent(place.root, key, KEY_READ | place.viewFlag, opened, found);
  if (status == ERROR_SUCCESS && found) status = readAllValues(opened.get(), current);
  if (status != ERROR_SUCCESS) {
    printReadFailure(place, request.name, status);
    return false;
  }
  change.place = &place;
  change.action.place = &place;
  change.action.dsn = request.name;
  for (const auto& [name, text] : request.settings) {
    const RegistryValue wanted{name, REG_SZ, stringData(text)};
    const RegistryValue* now = findValue(current, name);
    if (now && now->type == REG_SZ && now->data == wanted.data) continue;
    if (sameRegistryName(name, "Driver")) {
      std::string expected;
      const std::string driver = holding.entry->text();
      if (!isRegisteredFile(place, driver, text, expected)) {
        printWrongDriverFile(place, request.name, driver, expected);
        return false;
      }
    }
    const std::string detail = name + " = " + shown(wanted);
    change.action.lines.push_back(
        now ? planLine('~', place, subject, detail + " (was " + shown(*now) + ")")
            : planLine('+', place, subject, detail));
    change.action.operations.push_back(opSetValue(place, key, wanted));
    change.set.push_back(name);
  }
  for (const std::string& name : request.removals) {
    const RegistryValue* now = findValue(current, name);
    if (!now) continue;
    change.action.lines.push_back(planLine('-', place, subject, now->name));
    change.action.operations.push_back(opDeleteValue(place, key, now->name));
    change.removed.push_back(now->name);
  }
  return true;
}

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

void printChanged(const PlaceChange& change, const std::string& name) {
  const std::string label = placeDsnLabel(*change.place, name);
  if (change.set.empty() && change.removed.empty()) {
    printLine("The " + label + " needed no change.");
    return;
  }
  std::string line = "Changed the " + label + ":";
  if (!change.set.empty()) line += " set " + joined(change.set);
  if (!change.set.empty() && !change.removed.empty()) line += ";";
  if (!change.removed.empty()) line += " removed " + joined(change.removed);
  printLine(line + ".");
}

int changeDataSource(const ChangeRequest& request) {
  std::vector<Holding> holdings;
  if (!lookUpFamilyDataSource(request.places, request.name, kNothingChanged, holdings)) return 1;
  std::vector<PlaceChange> changes(holdings.size());
  Plan plan;
  for (std::size_t i = 0; i < holdings.size(); ++i) {
    if (!planPlace(holdings[i], request, changes[i])) return 1;
    if (!changes[i].action.operations.empty()) plan.actions.push_back(changes[i].action);
  }
  if (request.whatIf) {
    for (const PlaceChange& change : changes) {
      if (change.action.lines.empty()) {
        printLine(planLine('=', *change.place, "DSN " + request.name, "nothing to change"));
      }
      for (const std::string& line : change.action.lines) printLine(line);
    }
    return 0;
  }
  const Outcome outcome = carryOut(plan);
  if (!outcome.succeeded()) {
    printDsnChangeFailure("changing", *plan.actions[outcome.failedAction].place, request.name,
                          outcome.status);
    for (const Outcome::UndoFailure& failure : outcome.notTakenBack) {
      printDsnChangeFailure("taking back", *failure.place, request.name, failure.status);
    }
    return 1;
  }
  for (const PlaceChange& change : changes) printChanged(change, request.name);
  return 0;
}

// "/remove" and one character more, so that a longer word is not taken for it.
constexpr std::size_t kRemoveWordBuffer = 9;

bool isRemoveWord(const char* argument) {
  char word[kRemoveWordBuffer];
  normaliseKeyword(argument, word);
  return equalsKeyword(word, "/remove");
}

void readRemoval(const char* name, ChangeRequest& request) {
  const std::string property = name;
  if (property.empty()) usageError("*** The property to remove is empty ***", UsageScreen::Change);
  if (sameRegistryName(property, "Driver")) {
    usageError("*** Driver cannot be removed: a data source names its driver's file there ***",
               UsageScreen::Change);
  }
  for (const auto& [given, value] : request.settings) {
    if (sameRegistryName(given, property)) {
      usageError("*** Property " + property + " is given more than once ***", UsageScreen::Change);
    }
  }
  for (const std::string& given : request.removals) {
    if (sameRegistryName(given, property)) {
      usageError("*** Property " + property + " is given more than once ***", UsageScreen::Change);
    }
  }
  request.removals.push_back(property);
}

}  // namespace

int runChange(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Change);
  ChangeRequest request;
  request.whatIf = takeWhatIf(cursor);
  readPlaces(cursor, request.places, "change", UsageScreen::Change);
  request.name = readDsnName(cursor, UsageScreen::Change);
  // Settings, then after /remove the names of the properties to remove.
  while (const char* argument = cursor.next()) {
    if (isRemoveWord(argument)) {
      if (cursor.remaining() == 0) notEnoughArguments(UsageScreen::Change);
      while (const char* name = cursor.next()) readRemoval(name, request);
      break;
    }
    readProperty(argument, PropertyRule::DriverAllowed, request.settings, UsageScreen::Change);
  }
  if (request.settings.empty() && request.removals.empty()) {
    notEnoughArguments(UsageScreen::Change);
  }
  return changeDataSource(request);
}

}  // namespace dsnconf
