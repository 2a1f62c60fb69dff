// show: prints every copy of the family's data sources, place by place. The
// lookup of view and set finds a name in the first list that has it (user,
// 64-bit, 32-bit); show reads each place on its own, so that the 32-bit copy
// of a system data source, and a machine data source hidden by a user one,
// are shown with their own properties. It reads on past what it cannot read.
#include <optional>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/family_walk.h"
#include "dsn/passwords.h"
#include "dsn/shown_value.h"

namespace dsnconf {
namespace {

struct ShowRequest {
  // No scope word: every place.
  bool everyPlace = true;
  PlaceChoice places;
  std::optional<std::string> name;
  PasswordData passwords = PasswordData::LeftOut;
};

// "user or system DSN", "system DSN", "64-bit system DSN", ...
std::string requestDsnLabel(const ShowRequest& request) {
  return request.everyPlace ? "user or system DSN" : choiceDsnLabel(request.places);
}

void printNotFound(const ShowRequest& request) {
  printLine("*** There is no Ivorel " + requestDsnLabel(request) + " " + *request.name + " ***");
}

void printMissingKey(const Place& place, const FamilyDataSource& dataSource) {
  printLine("*** The " + placeDsnLabel(place, dataSource.name) + " is listed for '" +
            dataSource.driver + "' but its key ODBC.INI\\" + dataSource.name +
            " does not exist ***");
}

void printValues(const std::vector<RegistryValue>& values, const char* indent,
                 PasswordData passwords) {
  for (const RegistryValue& value : values) printLine(indent + shownValue(value, passwords));
}

// The walk's visitor: a heading per place, then each data source as it is read.
class Shower : public FamilyVisitor {
 public:
  explicit Shower(const ShowRequest& request) : request_(request) {}

  PlaceInventory& placeStarted(const Place&) override {
    place_ = PlaceInventory();
    return place_;
  }

  void listRead(const PlaceInventory& place) override {
    // Asked for one data source, a place without it is passed over.
    if (request_.name && place.dataSources.empty()) return;
    std::string heading = std::string(place.place->title) + " DSNs:";
    if (place.dataSources.empty()) heading += " none";
    if (headings_++ > 0) printLine("");
    printLine(heading);
  }

  void dataSource(const PlaceInventory& place, FamilyDataSource& dataSource) override {
    found_ = true;
    if (!dataSource.hasKey) {
      printMissingKey(*place.place, dataSource);
      failed_ = true;
      return;
    }
    printDataSourceLine(dataSource);
    printValues(dataSource.properties, "  ", request_.passwords);
    for (const Subkey& subkey : dataSource.subkeys) {
      printLine("  [" + subkey.path + "]");
      printValues(subkey.values, "    ", request_.passwords);
    }
  }

  bool goOnAfter(const PlaceInventory&, const FamilyDataSource* failed,
                 const InventoryFailure& failure) override {
    if (failed) {
      found_ = true;
      printDataSourceLine(*failed);
    }
    printInventoryFailure(failure);
    failed_ = true;
    unreadPlace_ = unreadPlace_ || !failed;
    return true;
  }

  // After the walk: 0 when everything chosen was shown, 1 after a failure
  // line (a name found nowhere gets one, unless a place could not be read).
  int finish() const {
    if (!request_.name || found_) return failed_ ? 1 : 0;
    if (!unreadPlace_) printNotFound(request_);
    return 1;
  }

 private:
  static void printDataSourceLine(const FamilyDataSource& dataSource) {
    printLine("DSN " + dataSource.name + " (" + dataSource.driver + ")");
  }

  const ShowRequest& request_;
  PlaceInventory place_;
  int headings_ = 0;
  bool found_ = false;
  bool failed_ = false;
  // A place whose list could not be read: a name not found may be there.
  bool unreadPlace_ = false;
};

int showDataSources(const ShowRequest& request) {
  WalkOptions options;
  if (!request.everyPlace) options.places = chosenPlaces(request.places);
  options.parts = PlaceParts::None;
  options.name = request.name;
  Shower shower(request);
  InventoryFailure failure;
  walkFamily(options, shower, failure);
  return shower.finish();
}

// "/secrets" and a character more, so that a longer word is no keyword.
constexpr std::size_t kShowWordBuffer = 10;

[[noreturn]] void unexpectedArgument(const char* argument) {
  usageError(std::string("*** Unexpected argument specified: ") + argument + " ***",
             UsageScreen::Show);
}

// A scope word, and after /system a view word, where the line begins.
bool readScope(const char* word, ArgCursor& cursor, ShowRequest& request) {
  if (equalsKeyword(word, "/user")) {
    request.places.scope = Scope::User;
  } else if (equalsKeyword(word, "/system")) {
    request.places.scope = Scope::System;
    const char* view = cursor.peek();
    if (view && std::string(view) == "/64") request.places.view = MachineView::Bit64;
    if (view && std::string(view) == "/32") request.places.view = MachineView::Bit32;
    if (request.places.view != MachineView::None) cursor.next();
  } else {
    return false;
  }
  request.everyPlace = false;
  return true;
}

// One argument: /secrets anywhere, the places before the name, the name once.
void readShowArgument(const char* argument, ArgCursor& cursor, ShowRequest& request) {
  char word[kShowWordBuffer];
  normaliseKeyword(argument, word);
  if (equalsKeyword(word, "/secrets")) {
    if (request.passwords == PasswordData::Kept) unexpectedArgument(argument);
    request.passwords = PasswordData::Kept;
    return;
  }
  if (request.everyPlace && !request.name && readScope(word, cursor, request)) return;
  if (request.name) unexpectedArgument(argument);
  // A word of the command's own, misspelt or out of place, is no name.
  if (*argument == '/') {
    usageError(std::string("*** Invalid show option specified: ") + argument + " ***",
               UsageScreen::Show);
  }
  request.name = argument;
}

}  // namespace

int runShow(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Show);
  ShowRequest request;
  while (const char* argument = cursor.next()) readShowArgument(argument, cursor, request);
  return showDataSources(request);
}

}  // namespace dsnconf
