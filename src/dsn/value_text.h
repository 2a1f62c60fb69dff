// How registry names and values are described in exported documents: type
// names, which string data reads back exactly from its text, text as JSON
// carries it, and hex renderings.
#pragma once

#include <optional>
#include <string>

#include "dsn/places.h"
#include "dsn/reg_read.h"
#include "win32.h"

namespace dsnconf {

// "REG_SZ", "REG_DWORD", ...; an unknown type as its number ("REG_0x0000002a").
std::string registryTypeName(DWORD type);
// The other way: the type a name such as "REG_SZ" or "REG_0x0000002a" stands for.
std::optional<DWORD> registryTypeOfName(const std::string& name);

// The bytes of hex digits (two a byte, either case); nothing where they are none.
std::optional<std::string> bytesOfHex(const std::string& hex);

// Whether string data (UTF-16LE) is exactly one terminated string without
// further zero units or line breaks: the form that a quoted "..." restores
// unit for unit.
bool isPlainString(const std::string& data);

// Text (WTF-8) as JSON carries it, UTF-8; `exact` is false where it held a
// surrogate without its pair, which became U+FFFD.
std::string jsonText(const std::string& text, bool& exact);

// String data (UTF-16LE) up to its first zero unit, as JSON carries it:
// UTF-8, a surrogate without its pair as U+FFFD. `exact` is false unless the
// data is exactly that text and one terminator, without such a surrogate.
std::string stringJsonText(const std::string& data, bool& exact);

// A name as Windows holds it, its UTF-16LE code units, in hex: what JSON
// carries beside a name that it cannot carry exactly.
std::string nameBytes(const std::string& name);

// Lower-case hex digits of every byte, without separators.
std::string hexBytes(const std::string& data);

// "HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI" or the machine view's path, as
// regedit names it (the 32-bit view under WOW6432Node where there are two).
std::string odbcIniPathOf(const Place& place, bool twoMachineViews);

}  // namespace dsnconf
