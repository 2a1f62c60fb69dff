// RegGetValueA, RegQueryValueExA, RegSetValueExA, RegDeleteValueA and
// RegEnumValueA over the hives.
#include <cstring>
#include <mutex>
#include <string>
#include <vector>

#include "registry/api/registry.h"
#include "registry/api/value_rules.h"
#include "registry/text/reg_writer.h"

namespace dsnconf::posix {

namespace {

constexpr std::size_t kMaxValueNameLength = 16383;

LONG getValue(Registry& registry, HKEY hkey, LPCSTR subKey, LPCSTR valueName, DWORD flags,
              LPDWORD type, LPVOID data, LPDWORD size) {
  if ((data != nullptr && size == nullptr) || (flags & RRF_RT_ANY) == 0) {
    return ERROR_INVALID_PARAMETER;
  }
  RegKey* key = nullptr;
  LONG error = registry.queryKey(hkey, subKey, key);
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

LONG queryValue(Registry& registry, HKEY hkey, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                LPBYTE data, LPDWORD size) {
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return ERROR_INVALID_PARAMETER;
  RegKey* key = nullptr;
  LONG error = registry.queryKey(hkey, nullptr, key);
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

LONG setValue(Registry& registry, HKEY hkey, LPCSTR valueName, DWORD type, const BYTE* data,
              DWORD size) {
  Target target;
  RegKey* key = nullptr;
  LONG error = registry.changeableKey(hkey, target, key);
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
    LONG stale = registry.liveKey(target, current);
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

LONG deleteValue(Registry& registry, HKEY hkey, LPCSTR valueName) {
  Target target;
  RegKey* key = nullptr;
  LONG error = registry.changeableKey(hkey, target, key);
  if (error != ERROR_SUCCESS) return error;
  std::string name = valueName != nullptr ? valueName : "";
  if (key->findValue(name) == nullptr) return ERROR_FILE_NOT_FOUND;

  return target.hive->change([&](std::string& body) {
    RegKey* current = nullptr;
    LONG stale = registry.liveKey(target, current);
    if (stale != ERROR_SUCCESS) return stale;
    const RegValue* existing = current->findValue(name);
    if (existing == nullptr) return ERROR_FILE_NOT_FOUND;
    appendSectionLine(body, current->fullPath());
    appendValueDeletionLine(body, existing->name);
    return ERROR_SUCCESS;
  });
}

LONG enumValue(Registry& registry, HKEY hkey, DWORD index, LPSTR valueName, LPDWORD valueNameLength,
               LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLength) {
  RegKey* key = nullptr;
  LONG error = registry.queryKey(hkey, nullptr, key);
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

}  // namespace

}  // namespace dsnconf::posix

using dsnconf::posix::deleteValue;
using dsnconf::posix::enumValue;
using dsnconf::posix::getValue;
using dsnconf::posix::queryValue;
using dsnconf::posix::registry;
using dsnconf::posix::registryMutex;
using dsnconf::posix::setValue;

LSTATUS RegGetValueA(HKEY key, LPCSTR subKey, LPCSTR value, DWORD flags, LPDWORD type, LPVOID data,
                     LPDWORD size) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return getValue(registry(), key, subKey, value, flags, type, data, size);
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type, LPBYTE data,
                         LPDWORD dataLength) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return queryValue(registry(), key, valueName, reserved, type, data, dataLength);
}

LSTATUS RegSetValueExA(HKEY key, LPCSTR valueName, DWORD /*reserved*/, DWORD type, const BYTE* data,
                       DWORD size) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return setValue(registry(), key, valueName, type, data, size);
}

LSTATUS RegDeleteValueA(HKEY key, LPCSTR valueName) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return deleteValue(registry(), key, valueName);
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, LPSTR valueName, LPDWORD valueNameLength,
                      LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD dataLength) {
  std::lock_guard<std::mutex> lock(registryMutex);
  return enumValue(registry(), key, index, valueName, valueNameLength, reserved, type, data,
                   dataLength);
}
