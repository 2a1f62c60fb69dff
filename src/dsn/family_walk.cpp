// The one walk over the family's configuration: each place read for reading
// only, in its own registry view, its data sources handed on one at a time.
#include "dsn/family_walk.h"

#include <string>

#include "base/output.h"
#include "dsn/family.h"
#include "dsn/passwords.h"
#include "dsn/property_checks.h"

namespace dsnconf {
namespace {

const char* rootName(HKEY root) {
  return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// What the place's record keeps of a data source its visitor has seen.
void letGo(FamilyDataSource& dataSource, KeptValues kept) {
  if (kept == KeptValues::All) return;
  if (kept == KeptValues::Properties || kept == KeptValues::Findings) {
    std::vector<Subkey>().swap(dataSource.subkeys);
    std::string().swap(dataSource.entryData);
  }
  if (kept == KeptValues::Properties) return;
  if (kept == KeptValues::Findings) {
    dataSource.digest = digestOf(dataSource.properties);
    std::vector<RegistryValue> looked;
    for (RegistryValue& value : dataSource.properties) {
      if (foldRegistryName(value.name) == "driver" || isPasswordProperty(value.name) ||
          !fitsValueBuffer(value)) {
        looked.push_back(std::move(value));
      }
    }
    dataSource.properties.swap(looked);
    return;
  }
  std::vector<RegistryValue> driver;
  if (kept == KeptValues::Driver) {
    for (RegistryValue& value : dataSource.properties) {
      if (foldRegistryName(value.name) != "driver") continue;
      driver.push_back(std::move(value));
      break;
    }
  }
  dataSource.properties.swap(driver);
  std::vector<Subkey>().swap(dataSource.subkeys);
  if (kept == KeptValues::Driver) std::string().swap(dataSource.entryData);
}

class PlaceReader {
 public:
  PlaceReader(const Place& place, const WalkOptions& options, FamilyVisitor& visitor,
              InventoryFailure& failure)
      : place_(place),
        options_(options),
        visitor_(visitor),
        result_(visitor.placeStarted(place)),
        failure_(failure) {
    result_.place = &place;
  }

  // The place's list, its data sources one by one, then the rest of it. A
  // failure the visitor goes on after ends the place's reading alone.
  LSTATUS read() {
    LSTATUS status = readList();
    if (status != ERROR_SUCCESS) return placeFailed(status);
    visitor_.listRead(result_);
    // The visitor has been asked about a data source that failed.
    status = readDataSources();
    if (status != ERROR_SUCCESS) return status;
    if (options_.parts != PlaceParts::None) status = readRest();
    if (status != ERROR_SUCCESS) return placeFailed(status);
    visitor_.placeRead(result_);
    return ERROR_SUCCESS;
  }

 private:
  LSTATUS placeFailed(LSTATUS status) {
    return visitor_.goOnAfter(result_, nullptr, failure_) ? ERROR_SUCCESS : status;
  }

  LSTATUS readRest() {
    const bool all = options_.parts == PlaceParts::All;
    LSTATUS status = ERROR_SUCCESS;
    if (all) {
      indexHeldNames(result_);
      status = readUnlistedKeys();
    }
    if (status == ERROR_SUCCESS) status = readTracing();
    if (status == ERROR_SUCCESS && place_.scope == Scope::System) status = readRegistrations();
    if (all && status == ERROR_SUCCESS && place_.scope == Scope::System) {
      status = readDefaultDsnDir();
    }
    return status;
  }

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
    // Most entries are data sources: tens of thousands are kept until the end.
    result_.dataSources.reserve(entries.size());
    for (RegistryValue& entry : entries) {
      const EntryReading reading = readEntry(entry);
      if (reading.problem) {
        result_.unreadableEntries.push_back(
            {std::move(entry.name), entry.type, std::move(entry.data), *reading.problem});
      } else if (reading.namesFamilyDriver) {
        if (options_.name && !sameRegistryName(entry.name, *options_.name)) continue;
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

  // Each data source read whole, handed to the visitor, and let go.
  LSTATUS readDataSources() {
    for (FamilyDataSource& dataSource : result_.dataSources) {
      const LSTATUS status = readDataSourceKey(dataSource);
      if (status == ERROR_SUCCESS) {
        visitor_.dataSource(result_, dataSource);
      } else if (!visitor_.goOnAfter(result_, &dataSource, failure_)) {
        return status;
      }
      letGo(dataSource, options_.kept);
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readDataSourceKey(FamilyDataSource& dataSource) {
    // A name holding a backslash names no key of its own.
    if (dataSource.name.find('\\') != std::string::npos) return ERROR_SUCCESS;
    const std::string path = dsnKeyPath(dataSource.name);
    RegKeyHolder key;
    LSTATUS status = open(path, key, dataSource.hasKey);
    if (status == ERROR_SUCCESS && dataSource.hasKey) {
      status = readValues(key.get(), path, dataSource.properties);
    }
    if (status == ERROR_SUCCESS && dataSource.hasKey) {
      status = readSubkeys(key.get(), path, "", dataSource.subkeys);
    }
    return status;
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
      if (isOdbcIniSpecialKey(subkey) || holdsName(result_, subkey)) continue;
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
    result_.heldNames.insert(foldRegistryName(subkey));
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
  const WalkOptions& options_;
  FamilyVisitor& visitor_;
  PlaceInventory& result_;
  InventoryFailure& failure_;
};

// The whole configuration kept in memory, for rules across places.
class InventoryKeeper : public FamilyVisitor {
 public:
  explicit InventoryKeeper(Inventory& inventory) : inventory_(inventory) {}

  PlaceInventory& placeStarted(const Place&) override { return inventory_.places.emplace_back(); }
  void dataSource(const PlaceInventory&, FamilyDataSource&) override {}

 private:
  Inventory& inventory_;
};

}  // namespace

void printInventoryFailure(const InventoryFailure& failure) {
  printLine("*** Got error code " + std::to_string(failure.status) + " while reading " +
            failure.key + " ***");
}

LSTATUS walkFamily(const WalkOptions& options, FamilyVisitor& visitor, InventoryFailure& failure) {
  for (const Place* place : options.places) {
    const LSTATUS status = PlaceReader(*place, options, visitor, failure).read();
    if (status != ERROR_SUCCESS) return status;
  }
  return ERROR_SUCCESS;
}

LSTATUS readInventory(Inventory& inventory, InventoryFailure& failure, KeptValues kept) {
  inventory.places.clear();
  WalkOptions options;
  options.kept = kept;
  InventoryKeeper keeper(inventory);
  return walkFamily(options, keeper, failure);
}

LSTATUS readPropertiesOf(const Place& place, const std::string& name,
                         std::vector<RegistryValue>& values) {
  values.clear();
  RegKeyHolder key;
  bool found = false;
  const LSTATUS status =
      openKeyIfPresent(place.root, dsnKeyPath(name), KEY_READ | place.viewFlag, key, found);
  if (status != ERROR_SUCCESS) return status;
  return found ? readAllValues(key.get(), values) : ERROR_FILE_NOT_FOUND;
}

}  // namespace dsnconf
