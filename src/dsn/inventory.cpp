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

}  // namespace dsnconf
