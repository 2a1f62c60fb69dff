// The emulated registry of this process behind the advapi32 functions: its
// two hives and the table of open key handles. The functions themselves,
// each a call on it under registryMutex, are in key_calls.cpp and
// value_calls.cpp.
//
// Handles are numbers into a table of open keys. A handle remembers the
// rights it was opened with, checked on every call through it, and the view
// it was opened in, which every key opened, created or deleted relative to it
// keeps unless the call names a view itself. In the 32-bit view the keys
// below HKEY_LOCAL_MACHINE\SOFTWARE live under SOFTWARE\WOW6432Node, as the
// registry redirector of 64-bit Windows keeps them.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "registry/api/registry_state.h"
#include "registry/store/hive.h"
#include "registry/tree/reg_key.h"
#include "win32.h"

namespace dsnconf::posix {

constexpr std::uintptr_t kFirstHandle = 0x1000;

constexpr REGSAM kViewFlags = KEY_WOW64_32KEY | KEY_WOW64_64KEY;
constexpr REGSAM kKnownRights = KEY_ALL_ACCESS | ACCESS_SYSTEM_SECURITY;

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

class Registry {
 public:
  Registry() : config_(readRegistryConfig()) {}

  const RegistryConfig& config() const { return config_; }

  Hive& hive(Root root);
  REGSAM maximumRights(Root root) const;
  // The rights an open asks for, or ERROR_ACCESS_DENIED when they go beyond
  // what the process may have: reading only under HKEY_LOCAL_MACHINE unless
  // it runs elevated.
  LONG grantRights(Root root, REGSAM desired, REGSAM& granted) const;
  // What a call's key argument stands for.
  LONG resolve(HKEY hkey, Target& target);
  // The key a target stands for now: ERROR_KEY_DELETED once it is gone.
  LONG liveKey(Target& target, RegKey*& key);
  // The view a call works in: its own flag, else the view of the key it
  // starts from; a predefined root starts in the program's own (32-bit) view.
  LONG callView(const Target& target, REGSAM desired, View& view) const;
  // Where a key named relative to a target lives: the path below the root
  // as the hive file holds it.
  void redirect(Root root, View view, std::vector<std::string>& path) const;
  // Resolves the key argument and the subkey path of a call.
  LONG locate(HKEY hkey, LPCSTR subKey, REGSAM desired, Target& target, View& view,
              std::vector<std::string>& path);
  // The key whose values a read goes to: the key argument itself, which
  // needs KEY_QUERY_VALUE, or its subkey opened with that right.
  LONG queryKey(HKEY hkey, LPCSTR subKey, RegKey*& key);
  // The subkey case of queryKey.
  LONG querySubkey(HKEY hkey, LPCSTR subKey, RegKey*& key);
  // The key argument of a value change, which needs KEY_SET_VALUE.
  LONG changeableKey(HKEY hkey, Target& target, RegKey*& key);

  HKEY addHandle(Root root, View view, REGSAM rights, RegKey& key, std::vector<std::string> path);
  // RegCloseKey: the last handle on a key lets its values go back to the file.
  LONG closeKey(HKEY hkey);

 private:
  RegistryConfig config_;
  std::unique_ptr<Hive> hives_[kRootCount];
  std::unordered_map<std::uintptr_t, KeyHandle> handles_;
  std::uintptr_t nextHandle_ = kFirstHandle;
};

// The process's one registry, made at its first use (registry_instance.cpp),
// and the lock every registry function holds while it works on it.
extern std::mutex registryMutex;
Registry& registry();

// Every call goes through these on its way to a key: they are defined here,
// where the calls can inline them.
inline Hive& Registry::hive(Root root) {
  if (!hives_[root]) hives_[root] = std::make_unique<Hive>(kRootNames[root], config_.directory);
  return *hives_[root];
}

inline REGSAM Registry::maximumRights(Root root) const {
  if (root == kUser || config_.elevated) return kKnownRights;
  return KEY_READ;
}

inline LONG Registry::resolve(HKEY hkey, Target& target) {
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

inline LONG Registry::queryKey(HKEY hkey, LPCSTR subKey, RegKey*& key) {
  if (subKey != nullptr && *subKey != '\0') return querySubkey(hkey, subKey, key);
  Target target;
  LONG error = resolve(hkey, target);
  if (error != ERROR_SUCCESS) return error;
  if ((target.rights & KEY_QUERY_VALUE) == 0) return ERROR_ACCESS_DENIED;
  error = liveKey(target, key);
  if (error != ERROR_SUCCESS) return error;
  return target.hive->readValues(*key);
}

}  // namespace dsnconf::posix
