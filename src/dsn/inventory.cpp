#include "dsn/inventory.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "cli/output.h"
#include "dsn/registry.h"
#include "dsn/target.h"

namespace dsnconf {
namespace {

constexpr const char* kDataSourceListName = "ODBC Data Sources";
constexpr const char* kTraceKeyName = "ODBC";
constexpr const char* kFileDsnKeyName = "ODBC File DSN";
constexpr const char* kDriverListPath = "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";

// Windows' longest value name, and longest key name, with the terminator.
constexpr DWORD kMaxValueName = 16384;
constexpr DWORD kMaxKeyName = 256;
// Where a value's data is read first; larger data is read again whole.
constexpr DWORD kFirstDataBuffer = 1024;

const char* rootName(HKEY root) {
  return root == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER" : "HKEY_LOCAL_MACHINE";
}

// The value of a data-source list entry as the walks of `view /all` and
// `name /all` read it, or why they cannot.
std::optional<EntryProblem> entryProblem(const RegistryValue& entry) {
  const bool nameFits = entry.name.size() < kValueNameBuffer - 1;
  const bool dataFits = entry.data.size() <= kValueDataBuffer;
  if (!nameFits || !dataFits) return EntryProblem::TooLong;
  if (entry.type != REG_SZ) return EntryProblem::NotAString;
  return std::nullopt;
}

// Reads one place. Every key is opened for reading only, in the place's view.
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
        RegOpenKeyExA(place_.root, path.c_str(), 0, KEY_READ | place_.viewFlag, key.receive());
    found = status == ERROR_SUCCESS;
    if (status == ERROR_SUCCESS) return status;
    key.clearAfterFailure();
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    return fail(status, path);
  }

  LSTATUS fail(LSTATUS status, const std::string& path) {
    failure_.status = status;
    failure_.key = std::string(rootName(place_.root)) + "\\" + path;
    return status;
  }

  // Every value of an open key, whole, in registry order.
  LSTATUS readValues(HKEY key, const std::string& path, std::vector<RegistryValue>& values) {
    std::vector<char>& name = nameBuffer_;
    std::vector<BYTE>& data = dataBuffer_;
    for (DWORD index = 0;;) {
      DWORD nameLength = kMaxValueName;
      DWORD dataLength = static_cast<DWORD>(data.size());
      DWORD type = REG_NONE;
      const LSTATUS status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                           data.data(), &dataLength);
      if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (status == ERROR_MORE_DATA && dataLength > data.size()) {
        data.resize(dataLength);
        continue;
      }
      if (status != ERROR_SUCCESS) return fail(status, path);
      values.push_back({std::string(name.data(), nameLength), type,
                        std::string(reinterpret_cast<const char*>(data.data()), dataLength)});
      ++index;
    }
  }

  LSTATUS readList() {
    const std::string path = std::string(kOdbcIniPath) + "\\" + kDataSourceListName;
    RegKeyHolder list;
    LSTATUS status = open(path, list, result_.hasList);
    if (status != ERROR_SUCCESS || !result_.hasList) return status;
    std::vector<RegistryValue> entries;
    status = readValues(list.get(), path, entries);
    if (status != ERROR_SUCCESS) return status;
    for (RegistryValue& entry : entries) {
      listedNames_.insert(foldRegistryName(entry.name));
      if (const std::optional<EntryProblem> problem = entryProblem(entry)) {
        result_.unreadableEntries.push_back(
            {std::move(entry.name), entry.type, std::move(entry.data), *problem});
      } else if (isKnownDriverName(entry.text().c_str())) {
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
      const std::string path = std::string(kOdbcIniPath) + "\\" + dataSource.name;
      RegKeyHolder key;
      // A name holding a backslash names no key of its own.
      if (dataSource.name.find('\\') != std::string::npos) continue;
      LSTATUS status = open(path, key, dataSource.hasKey);
      if (status != ERROR_SUCCESS) return status;
      if (!dataSource.hasKey) continue;
      status = readValues(key.get(), path, dataSource.properties);
      if (status != ERROR_SUCCESS) return status;
    }
    return ERROR_SUCCESS;
  }

  LSTATUS readUnlistedKeys() {
    RegKeyHolder odbcIni;
    bool found = false;
    LSTATUS status = open(kOdbcIniPath, odbcIni, found);
    if (status != ERROR_SUCCESS || !found) return status;
    char name[kMaxKeyName];
    for (DWORD index = 0;; ++index) {
      DWORD length = kMaxKeyName;
      status =
          RegEnumKeyExA(odbcIni.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
      if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
      if (status != ERROR_SUCCESS) return fail(status, kOdbcIniPath);
      const std::string subkey(name, length);
      if (isOdbcIniSpecialKey(subkey) || listedNames_.count(foldRegistryName(subkey)) != 0)
        continue;
      UnlistedKey unlisted{subkey, std::nullopt};
      std::optional<RegistryValue> driver;
      status = readNamedValue(odbcIni.get(), subkey.c_str(), "Driver",
                              std::string(kOdbcIniPath) + "\\" + subkey, driver);
      if (status != ERROR_SUCCESS) return status;
      if (driver && driver->type == REG_SZ) unlisted.driverFile = driver->text();
      result_.unlistedKeys.push_back(std::move(unlisted));
    }
  }

  // One value of `subkey` of an open key (or of the key itself for an empty
  // subkey), absent where the key or the value is missing.
  LSTATUS readNamedValue(HKEY key, const char* subkey, const char* valueName,
                         const std::string& path, std::optional<RegistryValue>& value) {
    RegKeyHolder opened;
    HKEY source = key;
    if (*subkey != '\0') {
      const LSTATUS status = RegOpenKeyExA(key, subkey, 0, KEY_QUERY_VALUE, opened.receive());
      if (status == ERROR_FILE_NOT_FOUND) {
        opened.clearAfterFailure();
        return ERROR_SUCCESS;
      }
      if (status != ERROR_SUCCESS) {
        opened.clearAfterFailure();
        return fail(status, path);
      }
      source = opened.get();
    }
    DWORD type = REG_NONE;
    DWORD size = 0;
    LSTATUS status = RegQueryValueExA(source, valueName, nullptr, &type, nullptr, &size);
    if (status == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    std::vector<BYTE> data;
    while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
      data.resize(size + 1);
      DWORD length = static_cast<DWORD>(data.size());
      status = RegQueryValueExA(source, valueName, nullptr, &type, data.data(), &length);
      if (status == ERROR_SUCCESS) {
        value = RegistryValue{valueName, type,
                              std::string(reinterpret_cast<const char*>(data.data()), length)};
        return ERROR_SUCCESS;
      }
      size = length;
    }
    return fail(status, path);
  }

  LSTATUS readTracing() {
    const std::string path = std::string(kOdbcIniPath) + "\\" + kTraceKeyName;
    RegKeyHolder key;
    bool found = false;
    LSTATUS status = open(path, key, found);
    if (status != ERROR_SUCCESS || !found) return status;
    status = readNamedValue(key.get(), "", "Trace", path, result_.tracing.trace);
    if (status != ERROR_SUCCESS) return status;
    return readNamedValue(key.get(), "", "TraceFile", path, result_.tracing.traceFile);
  }

  LSTATUS readDefaultDsnDir() {
    const std::string path = std::string(kOdbcIniPath) + "\\" + kFileDsnKeyName;
    RegKeyHolder key;
    bool found = false;
    LSTATUS status = open(path, key, found);
    if (status != ERROR_SUCCESS || !found) return status;
    std::optional<RegistryValue> folder;
    status = readNamedValue(key.get(), "", "DefaultDSNDir", path, folder);
    if (status == ERROR_SUCCESS && folder && folder->type == REG_SZ) {
      result_.defaultDsnDir = folder->text();
    }
    return status;
  }

  LSTATUS readRegistrations() {
    RegKeyHolder driverList;
    bool hasDriverList = false;
    LSTATUS status = open(kDriverListPath, driverList, hasDriverList);
    if (status != ERROR_SUCCESS) return status;
    for (int version = GEN3; version >= GEN1; --version) {
      DriverRegistration registration;
      registration.driver = kDriverNames[version];
      if (hasDriverList) {
        std::optional<RegistryValue> entry;
        status = readNamedValue(driverList.get(), "", registration.driver.c_str(), kDriverListPath,
                                entry);
        if (status != ERROR_SUCCESS) return status;
        registration.listed = entry.has_value();
      }
      const std::string path = std::string(kOdbcInstPath) + "\\" + registration.driver;
      RegKeyHolder key;
      status = open(path, key, registration.hasKey);
      if (status != ERROR_SUCCESS) return status;
      if (registration.hasKey) status = readValues(key.get(), path, registration.values);
      if (status != ERROR_SUCCESS) return status;
      if (registration.hasKey || registration.listed) {
        result_.registrations.push_back(std::move(registration));
      }
    }
    return ERROR_SUCCESS;
  }

  const Place& place_;
  PlaceInventory& result_;
  InventoryFailure& failure_;
  // The buffers every key's values are read into, made once for the place:
  // a place holds thousands of keys.
  std::vector<char> nameBuffer_ = std::vector<char>(kMaxValueName);
  std::vector<BYTE> dataBuffer_ = std::vector<BYTE>(kFirstDataBuffer);
  // Every name the list holds, readable or not, case folded.
  std::unordered_set<std::string> listedNames_;
};

}  // namespace

std::string RegistryValue::text() const {
  return data.substr(0, data.find('\0'));
}

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

bool isOdbcIniSpecialKey(const std::string& name) {
  const std::string folded = foldRegistryName(name);
  return folded == foldRegistryName(kDataSourceListName) ||
         folded == foldRegistryName(kTraceKeyName) || folded == foldRegistryName(kFileDsnKeyName);
}

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
