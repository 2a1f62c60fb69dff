#include "platform/wide_registry.h"

#include <vector>

#include "base/unicode.h"

namespace dsnconf {
namespace {

// The wide calls take wchar_t, which is UTF-16 here.
std::wstring wide(const std::string& text) {
  const std::u16string units = wtf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

std::string narrow(const wchar_t* units, std::size_t length) {
  return utf16ToWtf8(std::u16string(units, units + length));
}

// Windows' longest value name, with its terminator.
constexpr DWORD kValueNameUnits = 16384;
// Windows' longest key name, with its terminator.
constexpr DWORD kKeyNameUnits = 256;

}  // namespace

LSTATUS wideOpenKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key) {
  return RegOpenKeyExW(parent, wide(path).c_str(), 0, access, key);
}

LSTATUS wideCreateKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key,
                      bool* created) {
  DWORD disposition = 0;
  const LSTATUS status =
      RegCreateKeyExW(parent, wide(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                      nullptr, key, &disposition);
  *created = status == ERROR_SUCCESS && disposition == REG_CREATED_NEW_KEY;
  return status;
}

LSTATUS wideDeleteKey(HKEY parent, const std::string& path, REGSAM view) {
  return RegDeleteKeyExW(parent, wide(path).c_str(), view, 0);
}

LSTATUS wideQueryValue(HKEY key, const std::string& name, DWORD* type, std::string* data) {
  const std::wstring wideName = wide(name);
  DWORD size = 0;
  LSTATUS status = RegQueryValueExW(key, wideName.c_str(), nullptr, type, nullptr, &size);
  std::vector<BYTE> buffer;
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    buffer.resize(size + 2);
    DWORD length = static_cast<DWORD>(buffer.size());
    status = RegQueryValueExW(key, wideName.c_str(), nullptr, type, buffer.data(), &length);
    if (status == ERROR_SUCCESS) {
      data->assign(reinterpret_cast<const char*>(buffer.data()), length);
      return status;
    }
    size = length;
  }
  return status;
}

LSTATUS wideSetValue(HKEY key, const std::string& name, DWORD type, const std::string& data) {
  // A guard after the data: nothing past its length is taken for a
  // terminator that the length left out.
  const std::string guarded = data + "\xff\xff";
  return RegSetValueExW(key, wide(name).c_str(), 0, type,
                        reinterpret_cast<const BYTE*>(guarded.data()),
                        static_cast<DWORD>(data.size()));
}

LSTATUS wideDeleteValue(HKEY key, const std::string& name) {
  return RegDeleteValueW(key, wide(name).c_str());
}

LSTATUS wideEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::string* data) {
  static std::vector<wchar_t> nameBuffer(kValueNameUnits);
  static std::vector<BYTE> dataBuffer(1024);
  for (;;) {
    DWORD nameLength = kValueNameUnits;
    DWORD dataLength = static_cast<DWORD>(dataBuffer.size());
    const LSTATUS status = RegEnumValueW(key, index, nameBuffer.data(), &nameLength, nullptr, type,
                                         dataBuffer.data(), &dataLength);
    if (status == ERROR_MORE_DATA && dataLength > dataBuffer.size()) {
      dataBuffer.resize(dataLength);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    *name = narrow(nameBuffer.data(), nameLength);
    data->assign(reinterpret_cast<const char*>(dataBuffer.data()), dataLength);
    return status;
  }
}

LSTATUS wideEnumKey(HKEY key, DWORD index, std::string* name) {
  wchar_t buffer[kKeyNameUnits];
  DWORD length = kKeyNameUnits;
  const LSTATUS status =
      RegEnumKeyExW(key, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
  if (status == ERROR_SUCCESS) *name = narrow(buffer, length);
  return status;
}

std::size_t ansiLength(const std::string& text) {
  if (text.empty()) return 0;
  const std::wstring units = wide(text);
  const int bytes = WideCharToMultiByte(CP_ACP, 0, units.data(), static_cast<int>(units.size()),
                                        nullptr, 0, nullptr, nullptr);
  return bytes > 0 ? static_cast<std::size_t>(bytes) : 0;
}

bool ansiCarries(const std::string& text) {
  if (text.empty()) return true;
  const std::wstring units = wide(text);
  // A UTF-8 code page carries all but a surrogate without its pair; the call
  // below does not take the question for it.
  if (GetACP() == CP_UTF8) return isWellFormedUtf16(std::u16string(units.begin(), units.end()));
  BOOL defaulted = FALSE;
  const int bytes =
      WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, units.data(),
                          static_cast<int>(units.size()), nullptr, 0, nullptr, &defaulted);
  return bytes > 0 && !defaulted;
}

}  // namespace dsnconf
