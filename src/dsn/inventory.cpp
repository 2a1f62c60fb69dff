#include "dsn/inventory.h"

namespace dsnconf {

const RegistryValue* FamilyDataSource::property(const char* name) const {
  const std::string wanted = foldRegistryName(name);
  for (const RegistryValue& value : properties) {
    if (foldRegistryName(value.name) == wanted) return &value;
  }
  return nullptr;
}

std::optional<std::string> DriverRegistration::driverFile() const {
  for (const RegistryValue& value : values) {
    if (foldRegistryName(value.name) == "driver" && value.type == REG_SZ) return value.text();
  }
  return std::nullopt;
}

const PlaceInventory* Inventory::find(const Place& place) const {
  for (const PlaceInventory& candidate : places) {
    if (candidate.place == &place) return &candidate;
  }
  return nullptr;
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

void indexHeldNames(PlaceInventory& place) {
  std::unordered_set<std::string>& names = place.heldNames;
  names.clear();
  names.reserve(place.dataSources.size() + place.otherEntries.size() +
                place.unreadableEntries.size() + place.unlistedKeys.size());
  for (const FamilyDataSource& dataSource : place.dataSources) {
    names.insert(foldRegistryName(dataSource.name));
  }
  for (const std::string& other : place.otherEntries) names.insert(foldRegistryName(other));
  for (const UnreadableEntry& entry : place.unreadableEntries) {
    names.insert(foldRegistryName(entry.name));
  }
  for (const UnlistedKey& key : place.unlistedKeys) names.insert(foldRegistryName(key.name));
}

bool holdsName(const PlaceInventory& place, const std::string& name) {
  return place.heldNames.count(foldRegistryName(name)) != 0;
}

}  // namespace dsnconf
