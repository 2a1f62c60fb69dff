// The registry functions of advapi32 over the hive files.
//
// Handles are numbers into a table of open keys. A handle remembers the
// rights it was opened with, checked on every call through it, and the view
// it was opened in, which every key opened, created or deleted relative to it
// keeps unless the call names a view itself. In the 32-bit view the keys
// below HKEY_LOCAL_MACHINE\SOFTWARE live under SOFTWARE\WOW6432Node, as the
// registry redirector of 64-bit Windows keeps them.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "registry/store/hive.h"
#include "registry/text/ascii_case.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/reg_key.h"
#include "registry_state.h"
#include "value_rules.h"
#include "win32.h"

namespace dsnconf::posix {

namespace {

// Limits Windows sets on names.
constexpr std::size_t kMaxKeyNameLength = 255;
constexpr std::size_t kMaxValueNameLength = 16383;
constexpr std::size_t kMaxKeyDepth = 512;

constexpr std::uintptr_t kFirstHandle = 0x1000;
constexpr std::uintptr_t kHandleStep = 4;

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
constexpr REGSAM kKnownRights = KEY_ALL_ACCESS | ACCESS_SYSTEM_SECURITY;

const char* const kWowNode = "WOW6432Node";
const char* const kSoftware = "SOFTWARE";

enum Root { kMachine = 0, kUser = 1, kRootCount = 2 };
const char* const kRootNames[kRootCount] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER"};

enum class View { Bit64, Bit32 };

struct KeyHandle {
  Root root = kMachine;
  View view = View::Bit64;
  REGSAM rights = 0;
  std::shared_ptr<RegKey> key;
  // Where the key is below its root, to find it again after its hive was
  // read anew.
  std::vector<std::string> path;
  std::uint64_t generation = 0;
  // Set when the key was gone after such a re-read.
  bool lost = false;
  // The subkey names RegEnumKeyExA hands out, sorted once per walk rather
  // than at every index: a data-source tree has thousands of subkeys.
  std::vector<std::string> subkeyNames;
  const RegKey* subkeysOf = nullptr;
};

// What a key argument stands for.
struct Target {
  Root root = kMachine;
  Hive* hive = nullptr;
  REGSAM rights = 0;
  // Null for a predefined root key.
  KeyHandle* handle = nullptr;
};

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

std::string fullPathOf(Root root, const std::vector<std::string>& path) {
  std::string full = kRootNames[root];
  for (const std::string& name : path) {
    full += '\\';
    full += name;
  }
  return full;
}

class Registry {
 public:
  Registry() : config_(readRegistryConfig()) {}

  const RegistryConfig& config() const { return config_; }

  LONG openKey(HKEY hkey, LPCSTR subKey, REGSAM desired, HKEY& result) {
    Target target;
    View view = View::Bit64;
    std::vector<std::string> path;
    LONG error = locate(hkey, subKey, desired, target, view, path);
    if (error != ERROR_SUCCESS) return error;
    RegKey* key = findKey(target.hive->root(), path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    error = grantRights(target.root, desired, granted);
    if (error != ERROR_SUCCESS) return error;
    result = addHandle(target.root, view, granted, *key, std::move(path));
    return ERROR_SUCCESS;
  }

  LONG createKey(HKEY hkey, LPCSTR subKey, DWORD options, REGSAM desired, HKEY& result,
                 LPDWORD disposition) {
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    // Volatile keys and the other options have no place in a hive file.
    if (options != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
    Target target;
    View view = View::Bit64;
    std::vector<std::string> path;
    LONG error = locate(hkey, subKey, desired, target, view, path);
    if (error != ERROR_SUCCESS) return error;
    if (path.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
    for (const std::string& name : path) {
      if (!isWritableKeyName(name)) return ERROR_INVALID_PARAMETER;
    }
    REGSAM granted = 0;
    error = grantRights(target.root, desired, granted);
    if (error != ERROR_SUCCESS) return error;

    bool created = false;
    if (findKey(target.hive->root(), path) == nullptr) {
      if ((target.rights & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
      error = target.hive->change([&](std::string& body) {
        RegKey* base = nullptr;
        LONG stale = liveKey(target, base);
        if (stale != ERROR_SUCCESS) return stale;
        if (findKey(target.hive->root(), path) != nullptr) return ERROR_SUCCESS;
        appendSectionLine(body, fullPathOf(target.root, path));
        created = true;
        return ERROR_SUCCESS;
      });
      if (error != ERROR_SUCCESS) return error;
    }
    RegKey* key = findKey(target.hive->root(), path);
    if (key == nullptr) return ERROR_KEY_DELETED;
    result = addHandle(target.root, view, granted, *key, std::move(path));
    if (disposition != nullptr) {
      *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    }
    return ERROR_SUCCESS;
  }

  LONG getValue(HKEY hkey, LPCSTR subKey, LPCSTR valueName, DWORD flags, LPDWORD type, LPVOID data,
                LPDWORD size) {
    if ((data != nullptr && size == nullptr) || (flags & RRF_RT_ANY) == 0) {
      return ERROR_INVALID_PARAMETER;
    }
    RegKey* key = nullptr;
    LONG error = queryKey(hkey, subKey, key);
    if (error != ERROR_SUCCESS) return error;
    const RegValue* value = key->findValue(valueName != nullptr ? valueName : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;

    DWORD valueType = value->type;
    std::string bytes = value->data;
    if (valueType == REG_EXPAND_SZ && (flags & RRF_NOEXPAND) == 0) {
      bytes = expandEnvironmentStrings(bytes.substr(0, bytes.find('\0')));
      bytes += '\0';
      valueType = REG_SZ;
    }
    // Strings always come back terminated; the terminator must fit too.
    if (isStringType(valueType) && (bytes.empty() || bytes.back() != '\0')) bytes += '\0';
    const auto needed = static_cast<DWORD>(bytes.size());

    LONG result = ERROR_SUCCESS;
    if (data != nullptr) {
      if (*size < needed) {
        result = ERROR_MORE_DATA;
      } else if (needed != 0) {
        std::memcpy(data, bytes.data(), needed);
      }
    }
    result = applyTypeRestriction(flags, valueType, needed, result);
    if (data != nullptr && result != ERROR_SUCCESS && (flags & RRF_ZEROONFAILURE) != 0) {
      std::memset(data, 0, *size);
    }
    if (type != nullptr) *type = valueType;
    if (size != nullptr) *size = needed;
    return result;
  }

  // The value's type and stored bytes as they are, with no terminator added.
  LONG queryValue(HKEY hkey, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                  LPDWORD size) {
    if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
    RegKey* key = nullptr;
    LONG error = queryKey(hkey, nullptr, key);
    if (error != ERROR_SUCCESS) return error;
    const RegValue* value = key->findValue(valueName != nullptr ? valueName : "");
    if (value == nullptr) return ERROR_FILE_NOT_FOUND;

    const auto needed = static_cast<DWORD>(value->data.size());
    LONG result = ERROR_SUCCESS;
    if (data != nullptr) {
      if (*size < needed) {
        result = ERROR_MORE_DATA;
      } else if (needed != 0) {
        std::memcpy(data, value->data.data(), needed);
      }
    }
    if (type != nullptr) *type = value->type;
    if (size != nullptr) *size = needed;
    return result;
  }

  LONG setValue(HKEY hkey, LPCSTR valueName, DWORD type, const BYTE* data, DWORD size) {
    Target target;
    RegKey* key = nullptr;
    LONG error = changeableKey(hkey, target, key);
    if (error != ERROR_SUCCESS) return error;
    if (data == nullptr && size != 0) return ERROR_NOACCESS;
    std::string name = valueName != nullptr ? valueName : "";
    if (name.size() > kMaxValueNameLength || !isWritableValueName(name)) {
      return ERROR_INVALID_PARAMETER;
    }
    // Like Windows, count the terminator of a string whose length left it
    // out, reading the byte after the data as Windows does.
    if (size != 0 && isStringType(type) && data[size - 1] != 0 && data[size] == 0) ++size;
    std::string bytes(reinterpret_cast<const char*>(data), size);

    return target.hive->change([&](std::string& body) {
      RegKey* current = nullptr;
      LONG stale = liveKey(target, current);
      if (stale != ERROR_SUCCESS) return stale;
      const RegValue* existing = current->findValue(name);
      if (existing != nullptr && existing->type == type && existing->data == bytes) {
        return ERROR_SUCCESS;
      }
      appendSectionLine(body, current->fullPath());
      appendValueLine(body, existing != nullptr ? existing->name : name, type, bytes);
      return ERROR_SUCCESS;
    });
  }

  LONG deleteValue(HKEY hkey, LPCSTR valueName) {
    Target target;
    RegKey* key = nullptr;
    LONG error = changeableKey(hkey, target, key);
    if (error != ERROR_SUCCESS) return error;
    std::string name = valueName != nullptr ? valueName : "";
    if (key->findValue(name) == nullptr) return ERROR_FILE_NOT_FOUND;

    return target.hive->change([&](std::string& body) {
      RegKey* current = nullptr;
      LONG stale = liveKey(target, current);
      if (stale != ERROR_SUCCESS) return stale;
      const RegValue* existing = current->findValue(name);
      if (existing == nullptr) return ERROR_FILE_NOT_FOUND;
      appendSectionLine(body, current->fullPath());
      appendValueDeletionLine(body, existing->name);
      return ERROR_SUCCESS;
    });
  }

  LONG deleteKey(HKEY hkey, LPCSTR subKey, REGSAM desired) {
    if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
    Target target;
    View view = View::Bit64;
    std::vector<std::string> path;
    // Only the view flags of the access argument count; deleting needs DELETE.
    LONG error = locate(hkey, subKey, desired & kViewFlags, target, view, path);
    if (error != ERROR_SUCCESS) return error;
    RegKey* key = findKey(target.hive->root(), path);
    if (key == nullptr) return ERROR_FILE_NOT_FOUND;
    REGSAM granted = 0;
    error = grantRights(target.root, DELETE, granted);
    if (error != ERROR_SUCCESS) return error;
    if (path.empty() || key->hasChildren()) return ERROR_ACCESS_DENIED;

    return target.hive->change([&](std::string& body) {
      RegKey* base = nullptr;
      LONG stale = liveKey(target, base);
      if (stale != ERROR_SUCCESS) return stale;
      RegKey* current = findKey(target.hive->root(), path);
      if (current == nullptr) return ERROR_FILE_NOT_FOUND;
      if (current->hasChildren()) return ERROR_ACCESS_DENIED;
      appendKeyDeletionLine(body, current->fullPath());
      return ERROR_SUCCESS;
    });
  }

  LONG enumValue(HKEY hkey, DWORD index, LPSTR valueName, LPDWORD valueNameLength, LPDWORD reserved,
                 LPDWORD type, LPBYTE data, LPDWORD dataLength) {
    RegKey* key = nullptr;
    LONG error = queryKey(hkey, nullptr, key);
    if (error != ERROR_SUCCESS) return error;
    if (valueName == nullptr || valueNameLength == nullptr || reserved != nullptr ||
        (data != nullptr && dataLength == nullptr)) {
      return ERROR_INVALID_PARAMETER;
    }
    const std::vector<RegValue>& values = key->values();
    if (index >= values.size()) return ERROR_NO_MORE_ITEMS;
    const RegValue& value = values[index];
    const auto dataSize = static_cast<DWORD>(value.data.size());

    if (type != nullptr) *type = value.type;
    // The name needs room for its terminator; the data only for itself.
    bool nameFits = value.name.size() < *valueNameLength;
    bool dataFits = data == nullptr || dataSize <= *dataLength;
    if (!nameFits || !dataFits) {
      if (dataLength != nullptr) *dataLength = dataSize;
      return ERROR_MORE_DATA;
    }
    std::memcpy(valueName, value.name.c_str(), value.name.size() + 1);
    *valueNameLength = static_cast<DWORD>(value.name.size());
    if (data != nullptr) {
      if (dataSize != 0) std::memcpy(data, value.data.data(), dataSize);
      // A string stored without its terminator gets one where there is room.
      bool unterminated = value.data.empty() || value.data.back() != '\0';
      if (isStringType(value.type) && unterminated && dataSize < *dataLength) data[dataSize] = 0;
    }
    if (dataLength != nullptr) *dataLength = dataSize;
    return ERROR_SUCCESS;
  }

  LONG enumKey(HKEY hkey, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
               LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
    if (name == nullptr || nameLength == nullptr || reserved != nullptr) {
      return ERROR_INVALID_PARAMETER;
    }
    Target target;
    LONG error = resolve(hkey, target);
    if (error != ERROR_SUCCESS) return error;
    if ((target.rights & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
    RegKey* key = nullptr;
    error = liveKey(target, key);
    if (error != ERROR_SUCCESS) return error;

    // A predefined root has no handle to keep its names in.
    std::vector<std::string> rootNames;
    if (target.handle == nullptr) rootNames = sortedSubkeyNames(*key);
    const std::vector<std::string>& names =
        target.handle != nullptr ? cachedSubkeyNames(*target.handle, *key, index) : rootNames;
    if (index >= names.size()) return ERROR_NO_MORE_ITEMS;
    const std::string& subkey = names[index];
    if (subkey.size() >= *nameLength) return ERROR_MORE_DATA;
    std::memcpy(name, subkey.c_str(), subkey.size() + 1);
    *nameLength = static_cast<DWORD>(subkey.size());
    // Hive files keep neither classes nor write times.
    if (keyClass != nullptr && classLength != nullptr && *classLength > 0) *keyClass = '\0';
    if (classLength != nullptr) *classLength = 0;
    if (lastWriteTime != nullptr) *lastWriteTime = FILETIME{0, 0};
    return ERROR_SUCCESS;
  }

  LONG closeKey(HKEY hkey) {
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

 private:
  Hive& hive(Root root) {
    if (!hives_[root]) hives_[root] = std::make_unique<Hive>(kRootNames[root], config_.directory);
    return *hives_[root];
  }

  REGSAM maximumRights(Root root) const {
    if (root == kUser || config_.elevated) return kKnownRights;
    return KEY_READ;
  }

  // The rights an open asks for, or ERROR_ACCESS_DENIED when they go beyond
  // what the process may have: reading only under HKEY_LOCAL_MACHINE unless
  // it runs elevated.
  LONG grantRights(Root root, REGSAM desired, REGSAM& granted) const {
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

  LONG resolve(HKEY hkey, Target& target) {
    if (hkey == HKEY_LOCAL_MACHINE || hkey == HKEY_CURRENT_USER) {
      target.root = hkey == HKEY_LOCAL_MACHINE ? kMachine : kUser;
      target.rights = maximumRights(target.root);
      target.handle = nullptr;
    } else {
      auto it = handles_.find(reinterpret_cast<std::uintptr_t>(hkey));
      if (it == handles_.end()) return ERROR_INVALID_HANDLE;
      target.root = it->second.root;
      target.rights = it->second.rights;
      target.handle = &it->second;
    }
    target.hive = &hive(target.root);
    return target.hive->load();
  }

  // The key a target stands for now: ERROR_KEY_DELETED once it is gone.
  LONG liveKey(Target& target, RegKey*& key) {
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

  // The view a call works in: its own flag, else the view of the key it
  // starts from; a predefined root starts in the program's own (32-bit) view.
  LONG callView(const Target& target, REGSAM desired, View& view) const {
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

  // Where a key named relative to a target lives: the path below the root
  // as the hive file holds it.
  void redirect(Root root, View view, std::vector<std::string>& path) const {
    if (!config_.wow64 || root != kMachine || view != View::Bit32) return;
    if (path.empty() || !equalsIgnoreCase(path[0], kSoftware)) return;
    if (path.size() >= 2 && equalsIgnoreCase(path[1], kWowNode)) return;
    path.insert(path.begin() + 1, kWowNode);
  }

  // Resolves the key argument and the subkey path of a call.
  LONG locate(HKEY hkey, LPCSTR subKey, REGSAM desired, Target& target, View& view,
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

  // The key whose values a read goes to: the key argument itself, which
  // needs KEY_QUERY_VALUE, or its subkey opened with that right.
  LONG queryKey(HKEY hkey, LPCSTR subKey, RegKey*& key) {
    Target target;
    if (subKey != nullptr && *subKey != '\0') {
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
    LONG error = resolve(hkey, target);
    if (error != ERROR_SUCCESS) return error;
    if ((target.rights & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
    error = liveKey(target, key);
    if (error != ERROR_SUCCESS) return error;
    return target.hive->readValues(*key);
  }

  // The key argument of a value change, which needs KEY_SET_VALUE.
  LONG changeableKey(HKEY hkey, Target& target, RegKey*& key) {
    LONG error = resolve(hkey, target);
    if (error != ERROR_SUCCESS) return error;
    if ((target.rights & KEY_SET_VALUE) == 0) return ERROR_ACCESS_DENIED;
    error = liveKey(target, key);
    if (error != ERROR_SUCCESS) return error;
    return target.hive->readValues(*key);
  }

  static std::vector<std::string> sortedSubkeyNames(const RegKey& key) {
    std::vector<std::string> names;
    for (const RegKey* child : key.children()) names.push_back(child->name());
    std::sort(names.begin(), names.end(), lessIgnoreCase);
    return names;
  }

  // The handle's sorted names, taken again when the key is another one or
  // its subkeys changed: a walk that deletes what it enumerates (a tree
  // removed key by key) sees the count change at every step.
  static const std::vector<std::string>& cachedSubkeyNames(KeyHandle& handle, const RegKey& key,
                                                           DWORD index) {
    bool current = handle.subkeysOf == &key && handle.subkeyNames.size() == key.childCount();
    if (current && index < handle.subkeyNames.size()) {
      current = key.findChild(handle.subkeyNames[index]) != nullptr;
    }
    if (!current) {
      handle.subkeyNames = sortedSubkeyNames(key);
      handle.subkeysOf = &key;
    }
    return handle.subkeyNames;
  }

  HKEY addHandle(Root root, View view, REGSAM rights, RegKey& key, std::vector<std::string> path) {
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

  RegistryConfig config_;
  std::unique_ptr<Hive> hives_[kRootCount];
  std::unordered_map<std::uintptr_t, KeyHandle> handles_;
  std::uintptr_t nextHandle_ = kFirstHandle;
};

std::mutex registryMutex;
std::unique_ptr<Registry> registryInstance;

Registry& registry() {
  if (!registryInstance) registryInstance = std::make_unique<Registry>();
  return *registryInstance;
}

}  // namespace

const RegistryConfig& registryConfig() {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().config();
}

void resetRegistryForTests() {
  std::lock_guard<std::mutex> lock(registryMutex);
  registryInstance.reset();
}

void setJournalLimitForTests(std::size_t bytes) {
  Hive::setJournalLimit(bytes);
}

}  // namespace dsnconf::posix

using dsnconf::posix::registry;
using dsnconf::posix::registryMutex;

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM desired, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().openKey(key, subKey, desired, *result);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                        DWORD options, REGSAM desired, LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().createKey(key, subKey, options, desired, *result, disposition);
}

LSTATUS RegGetValueA(HKEY key, LPCSTR subKey, LPCSTR value, DWORD flags, LPDWORD type, LPVOID data,
                     LPDWORD size) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().getValue(key, subKey, value, flags, type, data, size);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataLength) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().queryValue(key, valueName, reserved, type, data, dataLength);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                       DWORD size) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().setValue(key, valueName, type, data, size);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().deleteValue(key, valueName);
}

LSTATUS RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM desired, DWORD /*reserved*/) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().deleteKey(key, subKey, desired);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength,
                      LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLength) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().enumValue(key, index, valueName, valueNameLength, reserved, type, data,
                              dataLength);
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().enumKey(key, index, name, nameLength, reserved, keyClass, classLength,
                            lastWriteTime);
}

LSTATUS RegCloseKey(HKEY key) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().closeKey(key);
}
