// add: creates one data source for a driver of the family in the places
// chosen. Every place is checked before anything is written: the driver must
// be registered in the registry view the place uses, and the name must be
// free. Then each place gets the data source's key, with Driver and the
// properties, and last its list entry, so that a run stopped half way leaves
// at worst a key no list names. A failure takes back what the run made in
// every place.
#include <cstring>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/family.h"
#include "dsn/key_writes.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

struct AddRequest {
  PlaceChoice places;
  std::string name;
  DriverVersion version = GEN3;
  // Names and values in the order given; neither "Driver" nor a name twice.
  std::vector<std::pair<std::string, std::string>> properties;
};

// A place to create the data source in, and the machine view whose driver
// registration it uses: its own view, or for the user's tree the view chosen.
struct Destination {
  const Place* place = nullptr;
  const Place* registration = nullptr;
  std::string driverFile;
};

enum class Registration { Usable, Missing, WithoutDriverFile };

struct Creation {
  explicit Creation(const Place& place) : place(&place), keys(place) {}
  const Place* place;
  CreatedKeys keys;
  bool listed = false;
};

void printUnusable(const char* driver, const Place& view, Registration state,
                   const std::string& name) {
  const std::string where = std::string(" for ") + viewBits(view) + "-bit applications";
  const std::string why = state == Registration::Missing
                              ? " is not registered" + where
                              : " is registered" + where + " without a Driver file";
  printLine(std::string("*** '") + driver + "'" + why + ": the DSN " + name +
            " could not be used there ***");
}

void printRegisteredNowhere(const char* driver, const std::string& name) {
  printLine(std::string("*** '") + driver +
            "' is registered neither for 64-bit nor for 32-bit applications: the DSN " + name +
            " could not be used ***");
}

void printRegistrationReadFailure(const char* driver, const Place& view, LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while reading the " +
            viewBits(view) + "-bit registration of '" + driver + "' ***");
}

void printExists(const Place& place, const std::string& name) {
  printLine("*** The " + placeDsnLabel(place, name) + " already exists ***");
}

void printCreated(const Destination& destination, const std::string& name, const char* driver) {
  std::string line = "Created the " + placeDsnLabel(*destination.place, name) + " for ";
  if (destination.place->scope == Scope::User) {
    line += std::string("the ") + viewBits(*destination.registration) + "-bit ";
  }
  printLine(line + "'" + driver + "'.");
}

// The registration's Driver value, a string: the driver's file.
LSTATUS readRegistration(const Place& view, const char* driver, Registration& state,
                         std::string& file) {
  state = Registration::Missing;
  RegKeyHolder key;
  bool found = false;
  const std::string path = std::string(kOdbcInstPath) + "\\" + driver;
  LSTATUS status = openKeyIfPresent(view.root, path, KEY_QUERY_VALUE | view.viewFlag, key, found);
  if (status != ERROR_SUCCESS || !found) return status;
  state = Registration::WithoutDriverFile;
  RegistryValue value;
  status = readWholeValue(key.get(), "Driver", value, found);
  if (status != ERROR_SUCCESS || !found || value.type != REG_SZ) return status;
  file = value.text();
  state = Registration::Usable;
  return ERROR_SUCCESS;
}

// Reads the registration of `view` into the destination; false once a line
// has said why it cannot be used.
bool useRegistration(Destination& destination, const Place& view, const char* driver,
                     const std::string& name) {
  Registration state = Registration::Missing;
  const LSTATUS status = readRegistration(view, driver, state, destination.driverFile);
  if (status != ERROR_SUCCESS) {
    printRegistrationReadFailure(driver, view, status);
    return false;
  }
  destination.registration = &view;
  if (state == Registration::Usable) return true;
  printUnusable(driver, view, state, name);
  return false;
}

// The user's data source uses the view chosen; without a view word, the
// 64-bit registration, or the 32-bit one where only that exists.
bool useUserRegistration(Destination& destination, MachineView chosen, const char* driver,
                         const std::string& name) {
  if (chosen != MachineView::None || !hasTwoMachineViews()) {
    return useRegistration(destination, machineViewPlace(chosen), driver, name);
  }
  std::vector<const Place*> present;
  for (const Place* view : machinePlaces()) {
    Registration state = Registration::Missing;
    std::string file;
    const LSTATUS status = readRegistration(*view, driver, state, file);
    if (status != ERROR_SUCCESS) {
      printRegistrationReadFailure(driver, *view, status);
      return false;
    }
    if (state != Registration::Missing) present.push_back(view);
  }
  if (present.empty()) {
    printRegisteredNowhere(driver, name);
    return false;
  }
  return useRegistration(destination, *present.front(), driver, name);
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
  const char* driver = kDriverNames[request.version];
  const std::string& name = request.name;
  for (const Place* place : chosenPlaces(request.places)) {
    Destination destination;
    destination.place = place;
    const bool usable = place->scope == Scope::User
                            ? useUserRegistration(destination, request.places.view, driver, name)
                            : useRegistration(destination, *place, driver, name);
    if (!usable || !isFree(*place, name)) return false;
    destinations.push_back(destination);
  }
  return true;
}

LSTATUS setString(HKEY key, const std::string& name, const std::string& value) {
  // The terminator is part of the data, so an empty value is an empty string.
  return RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1));
}

LSTATUS openForValues(const Place& place, const std::string& path, RegKeyHolder& key) {
  const LSTATUS status =
      RegOpenKeyExA(place.root, path.c_str(), 0, KEY_SET_VALUE | place.viewFlag, key.receive());
  if (status != ERROR_SUCCESS) key.clearAfterFailure();
  return status;
}

// The key with its values, then the list entry. `taken` is set when the name
// was taken by another process after it was checked.
LSTATUS create(const Destination& destination, const AddRequest& request, Creation& creation,
               bool& taken) {
  const Place& place = *destination.place;
  const std::string& name = request.name;
  bool created = false;
  LSTATUS status = creation.keys.create(dsnKeyPath(name), created);
  if (status != ERROR_SUCCESS) return status;
  taken = !created;
  if (taken) return ERROR_SUCCESS;

  RegKeyHolder key;
  status = openForValues(place, dsnKeyPath(name), key);
  if (status == ERROR_SUCCESS) status = setString(key.get(), "Driver", destination.driverFile);
  for (const auto& [property, value] : request.properties) {
    if (status == ERROR_SUCCESS) status = setString(key.get(), property, value);
  }
  if (status == ERROR_SUCCESS) status = creation.keys.create(kDataSourceListPath, created);
  RegKeyHolder list;
  if (status == ERROR_SUCCESS) status = openForValues(place, kDataSourceListPath, list);
  if (status == ERROR_SUCCESS) status = setString(list.get(), name, kDriverNames[request.version]);
  creation.listed = status == ERROR_SUCCESS;
  return status;
}

// Takes back one place's creation: the list entry, then the keys made.
LSTATUS undo(Creation& creation, const std::string& name) {
  LSTATUS status = ERROR_SUCCESS;
  if (creation.listed) {
    RegKeyHolder list;
    status = openForValues(*creation.place, kDataSourceListPath, list);
    if (status == ERROR_SUCCESS) status = RegDeleteValueA(list.get(), name.c_str());
    if (status != ERROR_SUCCESS) return status;
    creation.listed = false;
  }
  return creation.keys.undo();
}

void undoAll(std::vector<Creation>& creations, const std::string& name) {
  for (auto creation = creations.rbegin(); creation != creations.rend(); ++creation) {
    const LSTATUS status = undo(*creation, name);
    if (status != ERROR_SUCCESS)
      printDsnChangeFailure("taking back", *creation->place, name, status);
  }
}

int addDataSource(const AddRequest& request) {
  const std::string& name = request.name;
  std::vector<Destination> destinations;
  if (!planDestinations(request, destinations)) return 1;

  std::vector<Creation> creations;
  creations.reserve(destinations.size());
  for (const Destination& destination : destinations) {
    creations.emplace_back(*destination.place);
    bool taken = false;
    const LSTATUS status = create(destination, request, creations.back(), taken);
    if (status == ERROR_SUCCESS && !taken) continue;
    if (taken) {
      printExists(*destination.place, name);
    } else {
      printDsnChangeFailure("creating", *destination.place, name, status);
    }
    undoAll(creations, name);
    return 1;
  }
  for (const Destination& destination : destinations) {
    printCreated(destination, name, kDriverNames[request.version]);
  }
  return 0;
}

void readProperty(const char* argument, AddRequest& request) {
  const char* separator = std::strchr(argument, '=');
  if (!separator || separator == argument) {
    usageError(std::string("*** Invalid property specified: ") + argument +
                   " (expected <property>=<value>) ***",
               UsageScreen::Add);
  }
  const std::string name(argument, separator);
  if (sameRegistryName(name, "Driver")) {
    usageError("*** " + name + " cannot be given: add writes it from the driver's registration ***",
               UsageScreen::Add);
  }
  for (const auto& given : request.properties) {
    if (sameRegistryName(given.first, name)) {
      usageError("*** Property " + name + " is given more than once ***", UsageScreen::Add);
    }
  }
  request.properties.emplace_back(name, separator + 1);
}

}  // namespace

int runAdd(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Add);
  AddRequest request;
  readPlaces(cursor, request.places, "add", UsageScreen::Add);
  request.name = readDsnName(cursor, UsageScreen::Add);
  // A word without '=' right after the name is the driver version.
  const char* version = cursor.peek();
  if (version && !std::strchr(version, '=')) {
    request.version = parseDriverVersion(cursor.next(), UsageScreen::Add);
  }
  while (const char* property = cursor.next()) readProperty(property, request);
  return addDataSource(request);
}

}  // namespace dsnconf
