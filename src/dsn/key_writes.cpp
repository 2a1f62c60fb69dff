#include "dsn/key_writes.h"

#include "dsn/reg_read.h"

namespace dsnconf {
namespace {

// Windows' longest key name, with its terminator.
constexpr DWORD kKeyNameBuffer = 256;

}  // namespace

LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view) {
  RegKeyHolder key;
  LSTATUS status =
      RegOpenKeyExA(parent, subKey.c_str(), 0, KEY_READ | DELETE | view, key.receive());
  if (status != ERROR_SUCCESS) {
    key.clearAfterFailure();
    return status;
  }
  // Always the first subkey: each deletion moves the next one to the front.
  for (;;) {
    char name[kKeyNameBuffer];
    DWORD length = kKeyNameBuffer;
    status = RegEnumKeyExA(key.get(), 0, name, &length, nullptr, nullptr, nullptr, nullptr);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status != ERROR_SUCCESS) return status;
    status = deleteKeyTree(key.get(), std::string(name, length), view);
    if (status != ERROR_SUCCESS) return status;
  }
  key.close();
  return RegDeleteKeyExA(parent, subKey.c_str(), view, 0);
}

LSTATUS CreatedKeys::create(const std::string& path, bool& created) {
  created = false;
  for (std::size_t end = 0; end != std::string::npos;) {
    end = path.find('\\', end + 1);
    const std::string level = path.substr(0, end);
    RegKeyHolder key;
    DWORD disposition = 0;
    const LSTATUS status =
        RegCreateKeyExA(place_->root, level.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_WRITE | place_->viewFlag, nullptr, key.receive(), &disposition);
    if (status != ERROR_SUCCESS) {
      key.clearAfterFailure();
      return status;
    }
    created = disposition == REG_CREATED_NEW_KEY;
    if (created) paths_.push_back(level);
  }
  return ERROR_SUCCESS;
}

LSTATUS CreatedKeys::undo() {
  LSTATUS result = ERROR_SUCCESS;
  // A key that holds a subkey this run did not make is left alone: the
  // deletion refuses it, and the keys above it stay as well.
  for (auto path = paths_.rbegin(); path != paths_.rend(); ++path) {
    const LSTATUS status = RegDeleteKeyExA(place_->root, path->c_str(), place_->viewFlag, 0);
    if (status != ERROR_SUCCESS && result == ERROR_SUCCESS) result = status;
  }
  paths_.clear();
  return result;
}

}  // namespace dsnconf
