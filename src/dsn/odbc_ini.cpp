#include "dsn/odbc_ini.h"

#include "base/output.h"
#include "base/unicode.h"
#include "dsn/family.h"
#include "platform/wide_registry.h"

namespace dsnconf {

std::string dsnKeyPath(const std::string& name) {
  return std::string(kOdbcIniPath) + "\\" + name;
}

bool isOdbcIniSpecialKey(const std::string& name) {
  return sameRegistryName(name, kDataSourceListName) || sameRegistryName(name, kTraceKeyName) ||
         sameRegistryName(name, kFileDsnKeyName);
}

bool openDsnKey(const char* name, RegKeyHolder& key) {
  const std::string subKey = dsnKeyPath(name);
  for (const Place* place : kLookupPlaces) {
    if (RegOpenKeyExA(place->root, subKey.c_str(), 0, KEY_ALL_ACCESS | place->viewFlag,
                      key.receive()) == ERROR_SUCCESS) {
      return true;
    }
    key.clearAfterFailure();
  }
  printLine(std::string("*** Could not access the ") + name + " ***");
  printAdministratorHint();
  return false;
}

EntryReading readEntry(const RegistryValue& entry) {
  EntryReading reading;
  reading.namesFamilyDriver = entry.type == REG_SZ && isKnownDriverName(entry.text().c_str());
  // The walks read through the ANSI calls: what counts is the length there.
  const std::size_t dataLength = isStringType(entry.type)
                                     ? ansiLength(utf16ToWtf8(utf16LeUnits(entry.data)))
                                     : entry.data.size();
  const bool nameFits = ansiLength(entry.name) < kValueNameBuffer - 1;
  const bool dataFits = dataLength <= kValueDataBuffer;
  if (!nameFits || !dataFits) {
    reading.problem = EntryProblem::TooLong;
  } else if (entry.type != REG_SZ) {
    reading.problem = EntryProblem::NotAString;
  }
  return reading;
}

LSTATUS dsnKeyExists(const Place& place, const std::string& name, bool& exists) {
  RegKeyHolder key;
  return openKeyIfPresent(place.root, dsnKeyPath(name), KEY_QUERY_VALUE | place.viewFlag, key,
                          exists);
}

LSTATUS readListEntry(const Place& place, const std::string& name,
                      std::optional<RegistryValue>& entry) {
  entry.reset();
  RegKeyHolder list;
  bool found = false;
  LSTATUS status = openKeyIfPresent(place.root, kDataSourceListPath,
                                    KEY_QUERY_VALUE | place.viewFlag, list, found);
  if (status != ERROR_SUCCESS || !found) return status;
  RegistryValue value;
  status = readWholeValue(list.get(), name, value, found);
  if (status == ERROR_SUCCESS && found) entry = std::move(value);
  return status;
}

}  // namespace dsnconf
