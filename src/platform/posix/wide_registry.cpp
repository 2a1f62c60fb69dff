// The wide registry over the emulated one, whose names and string data are
// 8-bit text (native_text.h).
#include "platform/wide_registry.h"

#include <vector>

#include "base/unicode.h"
#include "native_text.h"

namespace dsnconf {
namespace {

std::string storedData(DWORD type, const std::string& data) {
  return isStringType(type) ? nativeBytesOfUnits(utf16LeUnits(data)) : data;
}

// String data as UTF-16LE; ASCII, most of what the registry holds, each
// byte a unit of its own.
std::string dataOf(DWORD type, std::string stored) {
  if (!isStringType(type)) return stored;
  std::string data(stored.size() * 2, '\0');
  for (std::size_t i = 0; i < stored.size(); ++i) {
    if (static_cast<unsigned char>(stored[i]) >= 0x80) return utf16LeBytes(unitsOfNative(stored));
    data[2 * i] = stored[i];
  }
  return data;
}

// Windows' longest value name, and longest key name, with the terminator.
constexpr DWORD kValueNameBytes = 16384;
constexpr DWORD kKeyNameBytes = 256;

}  // namespace

LSTATUS wideOpenKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key) {
  return RegOpenKeyExA(parent, nativeBytes(path).c_str(), 0, access, key);
}

LSTATUS wideCreateKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key,
                      bool* created) {
  DWORD disposition = 0;
  const LSTATUS status =
      RegCreateKeyExA(parent, nativeBytes(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      access, nullptr, key, &disposition);
  *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return status;
}

LSTATUS wideDeleteKey(HKEY parent, const std::string& path, REGSAM view) {
  return RegDeleteKeyExA(parent, nativeBytes(path).c_str(), view, 0);
}

LSTATUS wideQueryValue(HKEY key, const std::string& name, DWORD* type, std::string* data) {
  const std::string stored = nativeBytes(name);
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, stored.c_str(), nullptr, type, nullptr, &size);
  std::vector<BYTE> buffer;
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    buffer.resize(size + 1);
    DWORD length = static_cast<DWORD>(buffer.size());
    status = RegQueryValueExA(key, stored.c_str(), nullptr, type, buffer.data(), &length);
    if (status == ERROR_SUCCESS) {
      *data = dataOf(*type, std::string(reinterpret_cast<const char*>(buffer.data()), length));
      return status;
    }
    size = length;
  }
  return status;
}

LSTATUS wideSetValue(HKEY key, const std::string& name, DWORD type, const std::string& data) {
  // The registry counts a string's terminator that its length leaves out,
  // looking at the byte after the data: a guard there keeps data that has
  // none (of odd length, say) exactly as given.
  const std::string stored = storedData(type, data) + "\xff\xff";
  return RegSetValueExA(key, nativeBytes(name).c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(stored.data()),
                        static_cast<DWORD>(stored.size() - 2));
}

LSTATUS wideDeleteValue(HKEY key, const std::string& name) {
  return RegDeleteValueA(key, nativeBytes(name).c_str());
}

LSTATUS wideEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::string* data) {
  static std::vector<char> nameBuffer(kValueNameBytes);
  static std::vector<BYTE> dataBuffer(1024);
  for (;;) {
    DWORD nameLength = kValueNameBytes;
    DWORD dataLength = static_cast<DWORD>(dataBuffer.size());
    const LSTATUS status = RegEnumValueA(key, index, nameBuffer.data(), &nameLength, nullptr, type,
                                         dataBuffer.data(), &dataLength);
    if (status == ERROR_MORE_DATA && dataLength > dataBuffer.size()) {
      dataBuffer.resize(dataLength);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    *name = textOf(std::string(nameBuffer.data(), nameLength));
    *data =
        dataOf(*type, std::string(reinterpret_cast<const char*>(dataBuffer.data()), dataLength));
    return status;
  }
}

LSTATUS wideEnumKey(HKEY key, DWORD index, std::string* name) {
  char buffer[kKeyNameBytes];
  DWORD length = kKeyNameBytes;
  const LSTATUS status =
      RegEnumKeyExA(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) *name = textOf(std::string(buffer, length));
  return status;
}

std::size_t ansiLength(const std::string& text) {
  return nativeBytes(text).size();
}

bool ansiCarries(const std::string&) {
  return true;
}

}  // namespace dsnconf
