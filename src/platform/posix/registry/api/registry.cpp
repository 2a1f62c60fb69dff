// The table of open handles, and what the key argument and subkey path of a
// call stand for: the hive, the handle and its rights, the view, and the path
// below the root.
#include "registry/api/registry.h"

#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/text/ascii_case.h"

namespace dsnconf::posix {

namespace {

// The longest key name Windows takes.
constexpr std::size_t kMaxKeyNameLength = 255;

constexpr std::uintptr_t kHandleStep = 4;

const char* const kWowNode = "WOW6432Node";
const char* const kSoftware = "SOFTWARE";

// Splits a subkey path at backslashes. Windows refuses a leading backslash
// and passes over empty names between or after them.
LONG splitSubKey(LPCSTR subKey, std::vector<std::string>& parts) {
  parts.clear();
  if (subKey == nullptr || *subKey == '\0') return ERROR_SUCCESS;
  // Room for the depth of a data source's key at once.
  parts.reserve(8);
  if (*subKey == '\\') return ERROR_BAD_PATHNAME;
  std::string_view rest(subKey);
  while (!rest.empty()) {
    std::size_t slash = rest.find('\\');
    std::string_view part = rest.substr(0, slash);
    if (!part.empty()) {
      if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
      parts.emplace_back(part);
    }
    if (slash == std::string_view::npos) break;
    rest.remove_prefix(slash + 1);
  }
  return ERROR_SUCCESS;
}

}  // namespace

LONG Registry::grantRights(Root root, REGSAM desired, REGSAM& granted) const {
  REGSAM wanted = desired & ~kViewFlags;
  if ((wanted & GENERIC_READ) != 0) wanted |= KEY_READ;
  if ((wanted & GENERIC_WRITE) != 0) wanted |= KEY_WRITE;
  if ((wanted & GENERIC_EXECUTE) != 0) wanted |= KEY_EXECUTE;
  if ((wanted & GENERIC_ALL) != 0) wanted |= KEY_ALL_ACCESS;
  bool maximum = (wanted & MAXIMUM_ALLOWED) != 0;
  wanted &= kKnownRights;
  REGSAM allowed = maximumRights(root);
  if ((wanted & ~allowed) != 0) return ERROR_ACCESS_DENIED;
  granted = maximum ? (wanted | allowed) : wanted;
  return ERROR_SUCCESS;
}

LONG Registry::liveKey(Target& target, RegKey*& key) {
  Hive& hive = *target.hive;
  if (target.handle == nullptr) {
    key = &hive.root();
    return ERROR_SUCCESS;
  }
  KeyHandle& handle = *target.handle;
  if (handle.lost || handle.key->deleted()) return ERROR_KEY_DELETED;
  if (handle.generation != hive.generation()) {
    RegKey* found = findKey(hive.root(), handle.path);
    if (found == nullptr) {
      handle.lost = true;
      return ERROR_KEY_DELETED;
    }
    handle.key = found->shared_from_this();
    handle.generation = hive.generation();
  }
  key = handle.key.get();
  return ERROR_SUCCESS;
}

LONG Registry::callView(const Target& target, REGSAM desired, View& view) const {
  REGSAM flags = desired & kViewFlags;
  if (!config_.wow64) {
    view = View::Bit64;
    return ERROR_SUCCESS;
  }
  if (flags == kViewFlags) return ERROR_INVALID_PARAMETER;
  if (flags == KEY_WOW64_32KEY) {
    view = View::Bit32;
  } else if (flags == KEY_WOW64_64KEY) {
    view = View::Bit64;
  } else if (target.handle != nullptr) {
    view = target.handle->view;
  } else {
    view = View::Bit32;
  }
  return ERROR_SUCCESS;
}

void Registry::redirect(Root root, View view, std::vector<std::string>& path) const {
  if (!config_.wow64 || root != kMachine || view != View::Bit32) return;
  if (path.empty() || !equalsIgnoreCase(path[0], kSoftware)) return;
  if (path.size() >= 2 && equalsIgnoreCase(path[1], kWowNode)) return;
  path.insert(path.begin() + 1, kWowNode);
}

LONG Registry::locate(HKEY hkey, LPCSTR subKey, REGSAM desired, Target& target, View& view,
                      std::vector<std::string>& path) {
  LONG error = resolve(hkey, target);
  if (error != ERROR_SUCCESS) return error;
  error = callView(target, desired, view);
  if (error != ERROR_SUCCESS) return error;
  std::vector<std::string> parts;
  error = splitSubKey(subKey, parts);
  if (error != ERROR_SUCCESS) return error;
  RegKey* base = nullptr;
  error = liveKey(target, base);
  if (error != ERROR_SUCCESS) return error;
  path = base->pathBelowRoot();
  // One more for the redirection's WOW6432Node.
  path.reserve(path.size() + parts.size() + 1);
  path.insert(path.end(), std::make_move_iterator(parts.begin()),
              std::make_move_iterator(parts.end()));
  redirect(target.root, view, path);
  return ERROR_SUCCESS;
}

LONG Registry::querySubkey(HKEY hkey, LPCSTR subKey, RegKey*& key) {
  Target target;
  View view = View::Bit64;
  std::vector<std::string> path;
  LONG error = locate(hkey, subKey, KEY_QUERY_VALUE, target, view, path);
  if (error != ERROR_SUCCESS) return error;
  key = findKey(target.hive->root(), path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  REGSAM granted = 0;
  error = grantRights(target.root, KEY_QUERY_VALUE, granted);
  if (error != ERROR_SUCCESS) return error;
  return target.hive->readValues(*key);
}

LONG Registry::changeableKey(HKEY hkey, Target& target, RegKey*& key) {
  LONG error = resolve(hkey, target);
  if (error != ERROR_SUCCESS) return error;
  if ((target.rights & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
  error = liveKey(target, key);
  if (error != ERROR_SUCCESS) return error;
  return target.hive->readValues(*key);
}

HKEY Registry::addHandle(Root root, View view, REGSAM rights, RegKey& key,
                         std::vector<std::string> path) {
  std::uintptr_t value = nextHandle_;
  nextHandle_ += kHandleStep;
  KeyHandle& handle = handles_[value];
  handle.root = root;
  handle.view = view;
  handle.rights = rights;
  handle.key = key.shared_from_this();
  handle.path = std::move(path);
  handle.generation = hive(root).generation();
  return reinterpret_cast<HKEY>(value);
}

LONG Registry::closeKey(HKEY hkey) {
  if (hkey == HKEY_LOCAL_MACHINE || hkey == HKEY_CURRENT_USER) return ERROR_SUCCESS;
  auto it = handles_.find(reinterpret_cast<std::uintptr_t>(hkey));
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  const std::shared_ptr<RegKey> key = std::move(it->second.key);
  const Root root = it->second.root;
  handles_.erase(it);
  // The last handle on a key that its tree still holds: its values can go
  // back to the file until the key is opened again.
  if (key && key.use_count() == 2) hive(root).releaseValues(*key);
  return ERROR_SUCCESS;
}

}  // namespace dsnconf::posix
