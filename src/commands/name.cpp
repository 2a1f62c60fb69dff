// name: switches data sources of the family to one of its three driver names.
// A registry data source records its driver in its entry of a data-source
// list; a file data source in its DRIVER key.
#include <cstring>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/family.h"
#include "dsn/odbc_ini.h"
#include "platform/odbc_installer.h"

namespace dsnconf {
namespace {

constexpr std::size_t kDriverNameBuffer = 1024;

std::int32_t updateDsnDriverName(HKEY listKey, const char* dsnName, const char* currentDriver,
                                 void* context) {
  if (!isKnownDriverName(currentDriver)) return 0;
  const char* newDriver = static_cast<const char*>(context);
  const LSTATUS status =
      RegSetValueExA(listKey, dsnName, 0, REG_SZ, reinterpret_cast<const BYTE*>(newDriver),
                     static_cast<DWORD>(std::strlen(newDriver)));
  if (status != ERROR_SUCCESS) {
    printLine(std::string("*** Failed to update driver name for DSN ") + dsnName + " ***");
    return status;
  }
  printLine(std::string("Driver name set to '") + newDriver + "' for DSN " + dsnName);
  return 0;
}

bool openDataSourceList(const Place& place, RegKeyHolder& listKey) {
  if (RegOpenKeyExA(place.root, kDataSourceListPath, 0, KEY_ALL_ACCESS | place.viewFlag,
                    listKey.receive()) == ERROR_SUCCESS) {
    return true;
  }
  listKey.clearAfterFailure();
  return false;
}

int renameFileDsn(const char* path, const char* newDriver) {
  char driver[kDriverNameBuffer + 1] = {};
  if (!SQLReadFileDSN(path, "ODBC", "DRIVER", driver, kDriverNameBuffer, nullptr)) {
    printLine(std::string("*** Error reading from ") + path + " ***");
    return 1;
  }
  if (!isKnownDriverName(driver)) {
    printLine(std::string("*** ") + path + " is not an Ivorel DSN ***");
    return 1;
  }
  if (!SQLWriteFileDSN(path, "ODBC", "DRIVER", newDriver)) {
    printLine(std::string("*** Failed to set driver name for ") + path + " ***");
    return 1;
  }
  printLine(std::string("Driver name set to '") + newDriver + "'");
  return 0;
}

// The first list that holds the data source's entry decides, whatever driver
// the entry names.
int renameRegistryDsn(const char* dsnName, const char* newDriver) {
  for (const Place* place : kLookupPlaces) {
    RegKeyHolder listKey;
    if (!openDataSourceList(*place, listKey)) continue;
    char driver[kDriverNameBuffer];
    DWORD size = sizeof driver;
    if (RegGetValueA(listKey.get(), nullptr, dsnName, RRF_RT_REG_SZ, nullptr, driver, &size) !=
        ERROR_SUCCESS) {
      continue;
    }
    return updateDsnDriverName(listKey.get(), dsnName, driver, const_cast<char*>(newDriver));
  }
  printLine(std::string("*** Couldn't find DSN ") + dsnName + " ***");
  return 1;
}

int renameAllDsns(const char* newDriver) {
  for (const Place* place : kLookupPlaces) {
    RegKeyHolder listKey;
    if (!openDataSourceList(*place, listKey)) continue;
    const std::int32_t result =
        enumerateValues(listKey.get(), updateDsnDriverName, const_cast<char*>(newDriver));
    if (result != 0) return result;
  }
  return 0;
}

int renameTarget(const DsnTarget& target, DriverVersion version) {
  const char* newDriver = kDriverNames[version];
  switch (target.kind) {
    case DsnKind::File:
      return renameFileDsn(target.name, newDriver);
    case DsnKind::Registry:
      return renameRegistryDsn(target.name, newDriver);
    case DsnKind::All:
      return renameAllDsns(newDriver);
  }
  return 1;
}

}  // namespace

int runName(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Name);
  DsnTarget target;
  readTarget(cursor, target, UsageScreen::Name);
  if (cursor.remaining() < 1) {
    // Unlike the other commands, no usage screen follows.
    printNotEnoughArguments();
    return 1;
  }
  const DriverVersion version = parseDriverVersion(cursor.next(), UsageScreen::Name);
  return renameTarget(target, version);
}

}  // namespace dsnconf
