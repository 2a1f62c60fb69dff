// RegOpenKeyExA, RegCreateKeyExA, RegDeleteKeyExA, RegEnumKeyExA and
// RegCloseKey over the hives.
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "registry/api/registry.h"
#include "registry/text/ascii_case.h"
#include "registry/text/reg_writer.h"

namespace dsnconf::posix {

namespace {

constexpr std::size_t kMaxKeyDepth = 512;

std::string fullPathOf(Root root, const std::vector<std::string>& path) {
  std::string full = kRootNames[root];
  for (const std::string& name : path) {
    full += '\\';
    full += name;
  }
  return full;
}

std::vector<std::string> sortedSubkeyNames(const RegKey& key) {
  std::vector<std::string> names;
  for (const RegKey* child : key.children()) names.push_back(child->name());
  std::sort(names.begin(), names.end(), lessIgnoreCase);
  return names;
}

// The handle's sorted names, taken again when the key is another one or
// its subkeys changed: a walk that deletes what it enumerates (a tree
// removed key by key) sees the count change at every step.
const std::vector<std::string>& cachedSubkeyNames(KeyHandle& handle, const RegKey& key,
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

LONG openKey(Registry& registry, HKEY hkey, LPCSTR subKey, REGSAM desired, HKEY& result) {
  Target target;
  View view = View::Bit64;
  std::vector<std::string> path;
  LONG error = registry.locate(hkey, subKey, desired, target, view, path);
  if (error != ERROR_SUCCESS) return error;
  RegKey* key = findKey(target.hive->root(), path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  REGSAM granted = 0;
  error = registry.grantRights(target.root, desired, granted);
  if (error != ERROR_SUCCESS) return error;
  result = registry.addHandle(target.root, view, granted, *key, std::move(path));
  return ERROR_SUCCESS;
}

LONG createKey(Registry& registry, HKEY hkey, LPCSTR subKey, DWORD options, REGSAM desired,
               HKEY& result, LPDWORD disposition) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  // Volatile keys and the other options have no place in a hive file.
  if (options != REG_OPTION_NON_VOLATILE) return ERROR_INVALID_PARAMETER;
  Target target;
  View view = View::Bit64;
  std::vector<std::string> path;
  LONG error = registry.locate(hkey, subKey, desired, target, view, path);
  if (error != ERROR_SUCCESS) return error;
  if (path.size() > kMaxKeyDepth) return ERROR_INVALID_PARAMETER;
  for (const std::string& name : path) {
    if (!isWritableKeyName(name)) return ERROR_INVALID_PARAMETER;
  }
  REGSAM granted = 0;
  error = registry.grantRights(target.root, desired, granted);
  if (error != ERROR_SUCCESS) return error;

  bool created = false;
  if (findKey(target.hive->root(), path) == nullptr) {
    if ((target.rights & KEY_CREATE_SUB_KEY) == 0) return ERROR_ACCESS_DENIED;
    error = target.hive->change([&](std::string& body) {
      RegKey* base = nullptr;
      LONG stale = registry.liveKey(target, base);
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
  result = registry.addHandle(target.root, view, granted, *key, std::move(path));
  if (disposition != nullptr) {
    *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
  }
  return ERROR_SUCCESS;
}

LONG deleteKey(Registry& registry, HKEY hkey, LPCSTR subKey, REGSAM desired) {
  if (subKey == nullptr) return ERROR_INVALID_PARAMETER;
  Target target;
  View view = View::Bit64;
  std::vector<std::string> path;
  // Only the view flags of the access argument count; deleting needs DELETE.
  LONG error = registry.locate(hkey, subKey, desired & kViewFlags, target, view, path);
  if (error != ERROR_SUCCESS) return error;
  RegKey* key = findKey(target.hive->root(), path);
  if (key == nullptr) return ERROR_FILE_NOT_FOUND;
  REGSAM granted = 0;
  error = registry.grantRights(target.root, DELETE, granted);
  if (error != ERROR_SUCCESS) return error;
  if (path.empty() || key->hasChildren()) return ERROR_ACCESS_DENIED;

  return target.hive->change([&](std::string& body) {
    RegKey* base = nullptr;
    LONG stale = registry.liveKey(target, base);
    if (stale != ERROR_SUCCESS) return stale;
    RegKey* current = findKey(target.hive->root(), path);
    if (current == nullptr) return ERROR_FILE_NOT_FOUND;
    if (current->hasChildren()) return ERROR_ACCESS_DENIED;
    appendKeyDeletionLine(body, current->fullPath());
    return ERROR_SUCCESS;
  });
}

LONG enumKey(Registry& registry, HKEY hkey, DWORD index, LPSTR name, LPDWORD nameLength,
             LPDWORD reserved, LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
  if (name == nullptr || nameLength == nullptr || reserved != nullptr) {
    return ERROR_INVALID_PARAMETER;
  }
  Target target;
  LONG error = registry.resolve(hkey, target);
  if (error != ERROR_SUCCESS) return error;
  if ((target.rights & KEY_ENUMERATE_SUB_KEYS) == 0) return ERROR_ACCESS_DENIED;
  RegKey* key = nullptr;
  error = registry.liveKey(target, key);
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

}  // namespace

}  // namespace dsnconf::posix

using dsnconf::posix::createKey;
using dsnconf::posix::deleteKey;
using dsnconf::posix::enumKey;
using dsnconf::posix::openKey;
using dsnconf::posix::registry;
using dsnconf::posix::registryMutex;

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD /*options*/, REGSAM desired, PHKEY result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(registryMutex);
  return openKey(registry(), key, subKey, desired, *result);
}

LSTATUS RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD /*reserved*/, LPSTR /*keyClass*/,
                        DWORD options, REGSAM desired, LPSECURITY_ATTRIBUTES /*security*/,
                        PHKEY result, LPDWORD disposition) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  std::lock_guard<std::mutex> lock(registryMutex);
  return createKey(registry(), key, subKey, options, desired, *result, disposition);
}

LSTATUS RegDeleteKeyExA(HKEY key, LPCSTR subKey, REGSAM desired, DWORD /*reserved*/) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return deleteKey(registry(), key, subKey, desired);
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, LPSTR name, LPDWORD nameLength, LPDWORD reserved,
                      LPSTR keyClass, LPDWORD classLength, PFILETIME lastWriteTime) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return enumKey(registry(), key, index, name, nameLength, reserved, keyClass, classLength,
                 lastWriteTime);
}

LSTATUS RegCloseKey(HKEY key) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().closeKey(key);
}
