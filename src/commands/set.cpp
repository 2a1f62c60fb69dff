// set: creates or replaces one property of a data source or a file data source.
#include <cstring>
#include <string>

#include "cli/output.h"
#include "commands/commands.h"
#include "dsn/installer.h"
#include "dsn/registry.h"

namespace dsnconf {
namespace {

// Kept out of the result line: openDsnKey has reported a key it cannot open.
constexpr int kKeyNotOpened = -1;

int setRegistryValue(const char* dsnName, const char* property, const char* value) {
  RegKeyHolder key;
  if (!openDsnKey(dsnName, key)) return kKeyNotOpened;
  return RegSetValueExA(key.get(), property, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(std::strlen(value)));
}

int setFileValue(const char* path, const char* property, const char* value) {
  return SQLWriteFileDSN(path, "ODBC", property, value) ? 0 : 1;
}

}  // namespace

int cmdSet(const DsnTarget& target, const char* property, const char* value) {
  const int result = target.kind == DsnKind::File ? setFileValue(target.name, property, value)
                                                  : setRegistryValue(target.name, property, value);
  if (result == kKeyNotOpened) return 1;
  if (result == 0) {
    printLine(std::string("Property ") + property + " set.");
  } else {
    printLine(std::string("*** Couldn't set property ") + property + " to '" + value + "' ***");
  }
  return result;
}

}  // namespace dsnconf
