// view: shows the properties of one data source, of one file data source, or
// of every data source of the family named in the three data-source lists.
#include <algorithm>
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

// Sized to hold one property and the key list of a file data source.
constexpr WORD kFileValueBuffer = 1024;
constexpr WORD kFileKeyListBuffer = 1024;

std::int32_t printProperty(HKEY, const char* name, const char* value, void*) {
  // One buffer for every line, filled by copies: a listing prints one such
  // line per value.
  static std::string line;
  const std::size_t nameLength = std::strlen(name);
  const std::size_t valueLength = std::strlen(value);
  line.resize(nameLength + valueLength + 7);
  char* out = line.data();
  *out++ = '\'';
  out = std::copy_n(name, nameLength, out);
  out = std::copy_n("' = '", 5, out);
  out = std::copy_n(value, valueLength, out);
  *out = '\'';
  printLine(line);
  return 0;
}

std::int32_t viewRegistryDsn(const char* dsnName, const char* property) {
  RegKeyHolder key;
  if (!openDsnKey(dsnName, key)) return 1;
  if (!property) return enumerateValues(key.get(), printProperty, nullptr);

  char value[kValueDataBuffer];
  DWORD size = sizeof value;
  const LSTATUS status =
      RegGetValueA(key.get(), nullptr, property, RRF_RT_REG_SZ, nullptr, value, &size);
  if (status != ERROR_SUCCESS) {
    printLine("*** Got error code " + std::to_string(status) + " while getting value for " +
              property + " ***");
    return status;
  }
  printProperty(nullptr, property, value, nullptr);
  return 0;
}

std::int32_t viewListedDsn(HKEY, const char* dsnName, const char* driverName, void* context) {
  if (!isKnownDriverName(driverName)) return 0;
  const char* property = static_cast<const char*>(context);
  printLine(std::string("DSN properties for ") + dsnName);

  if (property) {
    const std::int32_t result = viewRegistryDsn(dsnName, property);
    printLine("");
    // A data source that lacks the property does not end the walk.
    return result == ERROR_FILE_NOT_FOUND ? 0 : result;
  }

  RegKeyHolder key;
  if (!openDsnKey(dsnName, key)) return 1;
  const std::int32_t result = enumerateValues(key.get(), printProperty, nullptr);
  printLine("");
  printLine("");
  return result;
}

// Every data source of the family in the user list and both machine views;
// the walk stops at the first failure that is not a missing property.
int viewAllDsns(const char* property) {
  for (const Place* list : kLookupPlaces) {
    RegKeyHolder listKey;
    if (RegOpenKeyExA(list->root, kDataSourceListPath, 0, KEY_READ | list->viewFlag,
                      listKey.receive()) != ERROR_SUCCESS) {
      listKey.clearAfterFailure();
      continue;
    }
    printLine(std::string("Printing ") + list->title + " DSN properties.");
    const std::int32_t result =
        enumerateValues(listKey.get(), viewListedDsn, const_cast<char*>(property));
    if (result != 0) break;
  }
  return 0;
}

bool readFileDsnValue(const char* path, const char* key, char* buffer, WORD size) {
  return SQLReadFileDSN(path, "ODBC", key, buffer, size, nullptr) != FALSE;
}

int viewFileDsnProperty(const char* path, const char* property) {
  char value[kFileValueBuffer + 1] = {};
  if (!readFileDsnValue(path, property, value, kFileValueBuffer)) {
    printLine(std::string("*** Error reading '") + property + "' from " + path + " ***");
    return 1;
  }
  printProperty(nullptr, property, value, nullptr);
  return 0;
}

int viewFileDsn(const char* path, const char* property) {
  if (property) return viewFileDsnProperty(path, property);

  // One byte beyond what the installer is offered keeps a list that fills the
  // buffer terminated inside it.
  char keyList[kFileKeyListBuffer + 1] = {};
  if (!readFileDsnValue(path, nullptr, keyList, kFileKeyListBuffer)) {
    printLine(std::string("*** Error getting properties for ") + path + " ***");
    return 1;
  }

  int result = 0;
  const std::size_t length = std::strlen(keyList);
  // Each name runs to the next ';'; a ';' at the very end gives no empty name.
  for (std::size_t start = 0; start < length;) {
    char* name = keyList + start;
    char* separator = std::strchr(name, ';');
    if (separator) *separator = '\0';
    if (viewFileDsnProperty(path, name) != 0) result = 1;
    start += std::strlen(name) + 1;
  }
  return result;
}

int viewTarget(const DsnTarget& target, const char* property) {
  switch (target.kind) {
    case DsnKind::Registry:
      return viewRegistryDsn(target.name, property);
    case DsnKind::All:
      return viewAllDsns(property);
    case DsnKind::File:
      return viewFileDsn(target.name, property);
  }
  return 1;
}

}  // namespace

int runView(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::View);
  DsnTarget target;
  readTarget(cursor, target, UsageScreen::View);
  return viewTarget(target, cursor.peek());
}

}  // namespace dsnconf
