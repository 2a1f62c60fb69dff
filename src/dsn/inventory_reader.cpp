// The one walk over the family's configuration: each place read for reading
// only, in its own registry view.
#include <string>
#include <unordered_set>

#include "base/output.h"
#include "dsn/family.h"
#include "dsn/inventory.h"

namespace dsnconf {
namespace {

const char* rootName(HKEY root) {
  return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

class PlaceReader {
 public:
  PlaceReader(const Place& place, PlaceInventory& result, InventoryFailure& failure)
      : place_(place), result_(result), failure_(failure) {
    result_.place = &place;
  }

  LSTATUS read() {
    LSTATUS status = readList();
    if (status == ERROR_SUCCESS) status = readDataSourceKeys();
    if (status == ERROR_SUCCESS) status = readUnlistedKeys();
    if (status == ERROR_SUCCESS) status = readTracing();
    if (status == ERROR_SUCCESS && place_.scope == Scope::System) status = readRegistrations();
    if (status == ERROR_SUCCESS && place_.scope == Scope::System) status = readDefaultDsnDir();
    return status;
  }

 private:
  // Opens a key below the place's root; `found` is false for a missing key.
  LSTATUS open(const std::string& path, RegKeyHolder& key, bool& found) {
    const LSTATUS status =
        openKeyIfPresent(place_.root, path, KEY_READ | place_.viewFlag, key, found);
    return status == ERROR_SUCCESS ? status : fail(status, path);
  }

  LSTATUS fail(LSTATUS status, const std::string& path) {
    failure_.status = status;
    failure_.key = std::string(rootName(place_.root)) + "\\" + path;
    return status;
  }

  LSTATUS readValues(HKEY key, const std::string& path, std::vector<RegistryValue>& values) {
    const LSTATUS status = readAllValues(key, values);
    return status == ERROR_SUCCESS ? status : fail(status, path);
  }

  // Every key below an open key, each with its values, depth first.
  LSTATUS readSubkeys(HKEY key, const std::string& path, const std::string& below,
                      std::vector<Subkey>& subkeys) {
    std::vector<std::string> names;
    LSTATUS status = readSubkeyNames(key, names);
    if (status != ERROR_SUCCESS) return fail(status, path);
    for (const std::string& name : names) {
      const std::string subpath = below.empty() ? name : below + "\\" + name;
      RegKeyHolder subkey;
      bool found = false;
      status = openKeyIfPresent(key, name, KEY_READ, subkey, found);
      if (status != ERROR_SUCCESS) return fail(status, path + "\\" + name);
      // A key deleted since it was listed is simply not there.
      if (!found) continue;
      subkeys.push_back({subpath, {}});
      status = readValues(subkey.get(), path + "\\" + name, subkeys.back().values);
      if (status == ERROR_SUCCESS) {
        status = readSubkeys(subkey.get(), path + "\\" + name, subpath, subkeys);
      }
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }

  // One value of an open key, absent where it is missing.
  LSTATUS readNamedValue(HKEY key, const std::string& valueName, const std::string& path,
                         std::optional<RegistryValue>& value) {
    RegistryValue read;
    bool found = false;
    const LSTATUS status = readWholeValue(key, valueName, read, found);
    if (status != ERROR_SUCCESS) return fail(status, path);
    if (found) value = std::move(read);
    return ERROR_SUCCESS;
  }

  LSTATUS readList() {
    RegKeyHolder list;
    LSTATUS status = open(kDataSourceListPath, list, result_.hasList);
    if (status != ERROR_SUCCESS || !result_.hasList) return status;
    std::vector<RegistryValue> entries;
    status = readValues(list.get(), kDataSourceListPath, entries);
    if (status != ERROR_SUCCESS) return status;
    for (RegistryValue& entry : entries) {
      listedNames_.insert(foldRegistryName(entry.name));
      const EntryReading reading = readEntry(entry);
      if (reading.problem) {
        result_.unreadableEntries.push_back(
            {std::move(entry.name), entry.type, std::move(entry.data), *reading.problem});
      } else if (reading.namesFamilyDriver) {
        FamilyDataSource dataSource;
        dataSource.name = std::move(entry.name);
        dataSource.driver = entry.text();
        dataSource.entryData = std::move(entry.data);
        result_.dataSources.push_back(std::move(dataSource));
      } else {
        result_.otherEntries.push_back(std::move(entry.name));
      }
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readDataSourceKeys() {
    for (FamilyDataSource& dataSource : result_.dataSources) {
      // A name holding a backslash names no key of its own.
      if (dataSource.name.find('\\') != std::string::npos) continue;
      const std::string path = dsnKeyPath(dataSource.name);
      RegKeyHolder key;
      LSTATUS status = open(path, key, dataSource.hasKey);
      if (status == ERROR_SUCCESS && dataSource.hasKey) {
        status = readValues(key.get(), path, dataSource.properties);
      }
      if (status == ERROR_SUCCESS && dataSource.hasKey) {
        status = readSubkeys(key.get(), path, "", dataSource.subkeys);
      }
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readUnlistedKeys() {
    RegKeyHolder odbcIni;
    bool found = false;
    LSTATUS status = open(kOdbcIniPath, odbcIni, found);
    if (status != ERROR_SUCCESS || !found) return status;
    std::vector<std::string> names;
    status = readSubkeyNames(odbcIni.get(), names);
    if (status != ERROR_SUCCESS) return fail(status, kOdbcIniPath);
    for (const std::string& subkey : names) {
      if (isOdbcIniSpecialKey(subkey) || listedNames_.count(foldRegistryName(subkey)) != 0)
        continue;
      status = readUnlistedKey(odbcIni.get(), subkey);
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readUnlistedKey(HKEY odbcIni, const std::string& subkey) {
    const std::string path = dsnKeyPath(subkey);
    UnlistedKey unlisted{subkey, std::nullopt};
    RegKeyHolder key;
    bool found = false;
    LSTATUS status = openKeyIfPresent(odbcIni, subkey, KEY_QUERY_VALUE, key, found);
    if (status != ERROR_SUCCESS) return fail(status, path);
    if (found) status = readValues(key.get(), path, unlisted.values);
    if (status != ERROR_SUCCESS) return status;
    for (const RegistryValue& value : unlisted.values) {
      if (sameRegistryName(value.name, "Driver") && value.type == REG_SZ) {
        unlisted.driverFile = value.text();
      }
    }
    // Only a key naming a driver's file can be the family's: another's
    // values are not kept.
    if (!unlisted.driverFile) unlisted.values = {};
    result_.unlistedKeys.push_back(std::move(unlisted));
    return ERROR_SUCCESS;
  }

  LSTATUS readTracing() {
    const std::string path = std::string(kOdbcIniPath) + "\\" + kTraceKeyName;
    RegKeyHolder key;
    bool found = false;
    LSTATUS status = open(path, key, found);
    if (status != ERROR_SUCCESS || !found) return status;
    status = readNamedValue(key.get(), "Trace", path, result_.tracing.trace);
    if (status != ERROR_SUCCESS) return status;
    return readNamedValue(key.get(), "TraceFile", path, result_.tracing.traceFile);
  }

  LSTATUS readDefaultDsnDir() {
    const std::string path = std::string(kOdbcIniPath) + "\\" + kFileDsnKeyName;
    RegKeyHolder key;
    bool found = false;
    LSTATUS status = open(path, key, found);
    if (status != ERROR_SUCCESS || !found) return status;
    std::optional<RegistryValue> folder;
    status = readNamedValue(key.get(), "DefaultDSNDir", path, folder);
    if (status == ERROR_SUCCESS && folder && folder->type == REG_SZ) {
      result_.defaultDsnDir = folder->text();
    }
    return status;
  }

  LSTATUS readRegistration(HKEY driverList, DriverVersion version) {
    DriverRegistration registration;
    registration.driver = kDriverNames[version];
    if (driverList) {
      std::optional<RegistryValue> entry;
      const LSTATUS status =
          readNamedValue(driverList, registration.driver, kDriverListPath, entry);
      if (status != ERROR_SUCCESS) return status;
      registration.listed = entry.has_value();
    }
    const std::string path = std::string(kOdbcInstPath) + "\\" + registration.driver;
    RegKeyHolder key;
    LSTATUS status = open(path, key, registration.hasKey);
    if (status == ERROR_SUCCESS && registration.hasKey) {
      status = readValues(key.get(), path, registration.values);
    }
    if (status != ERROR_SUCCESS) return status;
    if (registration.hasKey || registration.listed) {
      result_.registrations.push_back(std::move(registration));
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readRegistrations() {
    RegKeyHolder driverList;
    bool hasDriverList = false;
    LSTATUS status = open(kDriverListPath, driverList, hasDriverList);
    result_.hasDriverList = hasDriverList;
    for (int version = GEN3; version >= GEN1 && status == ERROR_SUCCESS; --version) {
      status = readRegistration(hasDriverList ? driverList.get() : nullptr,
                                static_cast<DriverVersion>(version));
    }
    return status;
  }

  const Place& place_;
  PlaceInventory& result_;
  InventoryFailure& failure_;
  // Every name the list holds, readable or not, case folded.
  std::unordered_set<std::string> listedNames_;
};

}  // namespace

void printInventoryFailure(const InventoryFailure& failure) {
  printLine("*** Got error code " + std::to_string(failure.status) + " while reading " +
            failure.key + " ***");
}

LSTATUS readInventory(Inventory& inventory, InventoryFailure& failure) {
  inventory.places.clear();
  for (const Place* place : allPlaces()) {
    inventory.places.emplace_back();
    const LSTATUS status = PlaceReader(*place, inventory.places.back(), failure).read();
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

}  // namespace dsnconf
