#include "dsn/finding_places.h"

#include "dsn/registry.h"
#include "dsn/target.h"

namespace dsnconf::findings {
namespace {

// The characters the installer refuses in a data source's name: a hint that
// names such a data source would be refused before it repaired anything.
constexpr const char* kInvalidDsnCharacters = "[]{}(),;?*=!@\\";

bool holdsName(const PlaceInventory& place, const std::string& name) {
  for (const FamilyDataSource& dataSource : place.dataSources) {
    if (sameRegistryName(dataSource.name, name)) return true;
  }
  for (const std::string& other : place.otherEntries) {
    if (sameRegistryName(other, name)) return true;
  }
  for (const UnreadableEntry& entry : place.unreadableEntries) {
    if (sameRegistryName(entry.name, name)) return true;
  }
  for (const UnlistedKey& key : place.unlistedKeys) {
    if (sameRegistryName(key.name, name)) return true;
  }
  return false;
}

}  // namespace

std::unordered_set<std::string> foldedNames(const PlaceInventory& place) {
  std::unordered_set<std::string> names;
  for (const FamilyDataSource& dataSource : place.dataSources)
    names.insert(foldRegistryName(dataSource.name));
  return names;
}

const char* versionWord(const std::string& driver) {
  if (driver == kDriverNames[GEN1]) return "GEN1";
  if (driver == kDriverNames[GEN2]) return "GEN2";
  return "GEN3";
}

bool isEarlierDriver(const std::string& driver) {
  return driver == kDriverNames[GEN1] || driver == kDriverNames[GEN2];
}

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

const DriverRegistration* findRegistration(const PlaceInventory& place, const std::string& driver) {
  for (const DriverRegistration& registration : place.registrations) {
    if (registration.driver == driver) return &registration;
  }
  return nullptr;
}

bool isRegistered(const PlaceInventory& place, const std::string& driver) {
  const DriverRegistration* registration = findRegistration(place, driver);
  return registration && registration->hasKey;
}

std::vector<const PlaceInventory*> machineViews(const Inventory& inventory) {
  std::vector<const PlaceInventory*> views;
  for (const PlaceInventory& place : inventory.places) {
    if (place.place->scope == Scope::System) views.push_back(&place);
  }
  return views;
}

std::vector<const PlaceInventory*> viewsUsing(const Inventory& inventory,
                                              const PlaceInventory& place) {
  if (place.place->scope == Scope::System) return {&place};
  return machineViews(inventory);
}

bool registeredInAny(const std::vector<const PlaceInventory*>& views, const std::string& driver) {
  for (const PlaceInventory* view : views) {
    if (isRegistered(*view, driver)) return true;
  }
  return false;
}

bool isHintableName(const std::string& name) {
  // A name the installer refuses, one that would read as a view word after
  // the scope, or one that cannot be quoted on a command line.
  return !name.empty() && name.size() <= kMaxTargetName &&
         name.find_first_of(kInvalidDsnCharacters) == std::string::npos &&
         name.find('"') == std::string::npos && name != "/64" && name != "/32" &&
         !isOdbcIniSpecialKey(name);
}

bool reachedByDsnTarget(const Inventory& inventory, const PlaceInventory& place,
                        const std::string& name) {
  if (!isHintableName(name)) return false;
  for (const PlaceInventory& earlier : inventory.places) {
    if (&earlier == &place) return true;
    if (holdsName(earlier, name)) return false;
  }
  return false;
}

std::string placeWords(const Place& place) {
  if (place.scope == Scope::User) return "/user";
  return place.view == MachineView::Bit64 ? "/system /64" : "/system /32";
}

std::optional<std::string> registerHint(const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver) {
  if (!isEarlierDriver(driver) || !registeredInAny(views, kDriverNames[GEN3])) return std::nullopt;
  return "dsnconf reg /add " + std::string(versionWord(driver));
}

std::string viewsText(const Inventory& inventory, const PlaceInventory& place) {
  if (place.place->scope == Scope::System) return "the " + std::string(place.place->name) + " view";
  return machineViews(inventory).size() > 1 ? "either system view" : "the system view";
}

}  // namespace dsnconf::findings
