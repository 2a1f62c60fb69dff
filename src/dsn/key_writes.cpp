#include "dsn/key_writes.h"

#include "dsn/reg_read.h"
#include "platform/wide_registry.h"

namespace dsnconf {
LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view) {
  RegKeyHolder key;
  LSTATUS status = wideOpenKey(parent, subKey, KEY_READ | DELETE | view, key.receive());
  if (status != ERROR_SUCCESS) {
    key.clearAfterFailure();
    return status;
  }
  // Always the first subkey: each deletion moves the next one to the front.
  for (;;) {
    std::string name;
    status = wideEnumKey(key.get(), 0, &name);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = deleteKeyTree(key.get(), name, view);
    if (status != ERROR_SUCCESS) return status;
  }
  key.close();
  return wideDeleteKey(parent, subKey, view);
}

}  // namespace dsnconf
