// The registry as the commands beyond the first six reach it: every name and
// value that Windows can hold, read and written exactly. Windows keeps names
// and string data as UTF-16; here names are WTF-8 (base/unicode.h), the data
// of the string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is UTF-16LE bytes
// as Windows keeps it, and other data is its bytes. On Windows these are the
// wide calls. The POSIX registry holds 8-bit text, UTF-8 where it is text:
// its bytes are read as UTF-8, a byte that is none as the code unit U+DC00
// plus the byte, and written back the same way, so what was read is written
// back unchanged; an odd last byte of string data has no place there and is
// dropped. Keys are closed with RegCloseKey.
#pragma once

#include <cstddef>
#include <string>

#include "win32.h"

namespace dsnconf {

// The types whose data is text: UTF-16LE as Windows keeps it.
inline bool isStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

LSTATUS wideOpenKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key);
// Opens the key, creating it and any key above it that is missing;
// `created` says whether the last level is new.
LSTATUS wideCreateKey(HKEY parent, const std::string& path, REGSAM access, HKEY* key,
                      bool* created);
LSTATUS wideDeleteKey(HKEY parent, const std::string& path, REGSAM view);

// A value whole, however large (read again where it grew meanwhile).
LSTATUS wideQueryValue(HKEY key, const std::string& name, DWORD* type, std::string* data);
LSTATUS wideSetValue(HKEY key, const std::string& name, DWORD type, const std::string& data);
LSTATUS wideDeleteValue(HKEY key, const std::string& name);

// The value at `index` of the key, whole; ERROR_NO_MORE_ITEMS past the last.
LSTATUS wideEnumValue(HKEY key, DWORD index, std::string* name, DWORD* type, std::string* data);
// The subkey at `index`, in the order Windows lists them.
LSTATUS wideEnumKey(HKEY key, DWORD index, std::string* name);

// The text (WTF-8) as the ANSI calls of the first six commands see it: its
// length in bytes of the ANSI code page, and whether that code page carries
// it exactly (on POSIX the ANSI text is the UTF-8 the registry holds).
std::size_t ansiLength(const std::string& text);
bool ansiCarries(const std::string& text);

}  // namespace dsnconf
