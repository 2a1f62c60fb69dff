// How registry values read through the ANSI calls are described in exported
// documents: type names, which string data reads back exactly from its text,
// and UTF-16 / UTF-8 / hex renderings.
#pragma once

#include <string>

#include "dsn/inventory.h"
#include "dsn/places.h"

namespace dsnconf {

// "REG_SZ", "REG_DWORD", ...; an unknown type as its number ("REG_0x0000002a").
std::string registryTypeName(DWORD type);

// The types whose data the ANSI calls convert to and from the code page.
bool isStringType(DWORD type);

// Whether string data is exactly one terminated string without further zero
// bytes or line breaks: the form that a quoted "..." restores byte for byte.
bool isPlainString(const std::string& data);

// Code-page text (names, string data) as UTF-8, for JSON.
std::string codePageToUtf8(const std::string& text);

// Lower-case hex digits of every byte, without separators.
std::string hexBytes(const std::string& data);

// "HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI" or the machine view's path, as
// regedit names it (the 32-bit view under WOW6432Node where there are two).
std::string odbcIniPathOf(const Place& place, bool twoMachineViews);

}  // namespace dsnconf
