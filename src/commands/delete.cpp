// delete: removes one property of a data source or a file data source.
#include <string>

#include "cli/output.h"
#include "commands/commands.h"
#include "dsn/installer.h"
#include "dsn/registry.h"

namespace dsnconf {
namespace {

// Kept out of the result line: openDsnKey has reported a key it cannot open.
constexpr int kKeyNotOpened = -1;

int deleteRegistryValue(const char* dsnName, const char* property) {
  RegKeyHolder key;
  if (!openDsnKey(dsnName, key)) return kKeyNotOpened;
  return RegDeleteValueA(key.get(), property);
}

// A missing string asks the installer to remove the key.
int deleteFileValue(const char* path, const char* property) {
  return SQLWriteFileDSN(path, "ODBC", property, nullptr) ? 0 : 1;
}

}  // namespace

int cmdDelete(const DsnTarget& target, const char* property) {
  const int result = target.kind == DsnKind::File ? deleteFileValue(target.name, property)
                                                  : deleteRegistryValue(target.name, property);
  if (result == kKeyNotOpened) return 1;
  if (result == 0) {
    printLine(std::string("Property ") + property + " deleted.");
  } else {
    printLine(std::string("*** Couldn't delete property ") + property + " ***");
  }
  return result;
}

}  // namespace dsnconf
