// unlisted-key: a key under ODBC.INI that no list names, whose Driver value
// is the file a family driver is registered with: what an add stopped before
// its list entry leaves. Its repair lists the key (add /adopt) where that
// makes a data source check has nothing to say about, else removes it.
#include "dsn/family.h"
#include "dsn/finding_rules.h"
#include "dsn/property_checks.h"
#include "dsn/repair_hints.h"

namespace dsnconf {
namespace {

struct KeyDriver {
  DriverVersion version = GEN3;
  const PlaceInventory* view = nullptr;
};

bool usesView(const PlaceInventory& place, const PlaceInventory& view) {
  return place.place->scope == Scope::User || &place == &view;
}

// The family driver registered with the key's file, looked for as add
// /adopt and remove look for it: the views the place uses first, in each
// view the current driver first.
std::optional<KeyDriver> keyDriver(const Survey& survey, const PlaceInventory& place,
                                   const std::string& file) {
  for (const bool used : {true, false}) {
    for (const PlaceInventory* view : survey.machineViews()) {
      if (usesView(place, *view) != used) continue;
      for (int version = GEN3; version >= GEN1; --version) {
        const DriverRegistration* registration = findRegistration(*view, kDriverNames[version]);
        if (!registration || !registration->hasKey) continue;
        const std::optional<std::string> registered = registration->driverFile();
        if (registered && sameRegistryName(*registered, file)) {
          return KeyDriver{static_cast<DriverVersion>(version), view};
        }
      }
    }
  }
  return std::nullopt;
}

// Whether the data source that listing the key makes would be reported:
// for an earlier driver, shadowing or shadowed, unlike its copy in the other
// view, or holding a password or a value too long.
bool listingWouldBeReported(const Survey& survey, const PlaceInventory& place,
                            const UnlistedKey& key, const KeyDriver& driver) {
  if (driver.version != GEN3) return true;
  if (place.place->scope == Scope::User) {
    for (const PlaceInventory* view : survey.machineViews()) {
      if (survey.familyDataSource(*view, key.name)) return true;
    }
  } else {
    const PlaceInventory* user = survey.inventory().find(kUserPlace);
    if (user && survey.familyDataSource(*user, key.name)) return true;
    const PlaceInventory* other = survey.otherView(place);
    const FamilyDataSource* copy = other ? survey.familyDataSource(*other, key.name) : nullptr;
    if (copy && copy->hasKey &&
        (copy->digest ? *copy->digest != digestOf(key.values)
                      : !propertyDifferences(copy->properties, key.values).empty())) {
      return true;
    }
  }
  if (!storedPasswords(key.values).empty()) return true;
  for (const RegistryValue& value : key.values) {
    if (!fitsValueBuffer(value)) return true;
  }
  return false;
}

std::optional<std::string> unlistedKeyHint(const Survey& survey, const PlaceInventory& place,
                                           const UnlistedKey& key, const KeyDriver& driver) {
  if (!isHintableName(key.name)) return std::nullopt;
  std::vector<std::string> arguments = {"add"};
  if (!usesView(place, *driver.view) || listingWouldBeReported(survey, place, key, driver)) {
    // remove takes away a key whose Driver is a family driver's file in any
    // view, with everything it holds.
    arguments[0] = "remove";
  }
  for (std::string& word : placeWords(*place.place)) arguments.push_back(std::move(word));
  arguments.push_back(key.name);
  if (arguments[0] == "add") {
    arguments.push_back(versionWord(kDriverNames[driver.version]));
    arguments.push_back("/adopt");
  }
  return dsnconfLine(arguments);
}

}  // namespace

void findUnlistedKey(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
    for (const UnlistedKey& key : place.unlistedKeys) {
      if (!key.driverFile) continue;
      const std::optional<KeyDriver> driver = keyDriver(survey, place, *key.driverFile);
      if (!driver) continue;
      const std::string driverName = kDriverNames[driver->version];
      Finding finding;
      finding.id = "unlisted-key";
      finding.severity = Severity::Warning;
      finding.place = place.place;
      finding.dsn = key.name;
      finding.driver = driverName;
      finding.message = "its Driver value is the file of " + quoted(driverName) +
                        " but no entry of the data-source list names it, so applications do "
                        "not see it";
      finding.fix = unlistedKeyHint(survey, place, key, *driver);
      findings.push_back(std::move(finding));
    }
  }
}

}  // namespace dsnconf
