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

LSTATUS CreatedKeys::create(const std::string& path, bool& created) {
  created = false;
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    const std::string level = path.substr(0, end);
    RegKeyHolder key;
    const LSTATUS status =
        wideCreateKey(place_->root, level, KEY_WRITE | place_->viewFlag, key.receive(), &created);
    if (status != ERROR_SUCCESS) {
      key.clearAfterFailure();
      return status;
    }
    if (created) paths_.push_back(level);
  }
  return ERROR_SUCCESS;
}

LSTATUS CreatedKeys::undo() {
  LSTATUS result = ERROR_SUCCESS;
  // A key that holds a subkey this run did not make is left alone: the
  // deletion refuses it, and the keys above it stay as well.
  for (auto path = paths_.rbegin(); path != paths_.rend(); ++path) {
    const LSTATUS status = wideDeleteKey(place_->root, *path, place_->viewFlag);
    if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
  }
  paths_.clear();
  return result;
}

}  // namespace dsnconf
