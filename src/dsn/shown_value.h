// How show prints a registry value, one line each: a string as view prints
// it, any other data with its type, and data that is no plain text as hex
// that cannot be taken for text.
#pragma once

#include <string>

#include "dsn/passwords.h"
#include "dsn/reg_read.h"

namespace dsnconf {


// "'<name>' = <data>":
//   'Server' = 'db'                        a REG_SZ of one line of text
//   'Path' = REG_EXPAND_SZ '%TEMP%\x'      the other text types, each string quoted
//   'Hosts' = REG_MULTI_SZ 'a' 'b'         (no strings: REG_MULTI_SZ (empty))
//   'Port' = REG_DWORD 5432 (0x00001538)   also REG_DWORD_BIG_ENDIAN, REG_QWORD
//   'Blob' = REG_BINARY hex:00,ff          every other value, and text that is
//                                          not exactly one line of text
//   'PWD' = ********                       password data left out (other
//                                          types: 'PWD' = REG_BINARY ********)
std::string shownValue(const RegistryValue& value, PasswordData passwords);

// The data part alone, after " = ": what the plans of the commands that
// write print for a value, passwords always masked there.
std::string shownData(const RegistryValue& value, PasswordData passwords);

}  // namespace dsnconf
