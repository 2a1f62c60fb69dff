// The registry's value types that hold strings: the hive reader converts
// their hex data from UTF-16, and the ANSI calls hand them out terminated.
#pragma once

#include "win32.h"

namespace dsnconf::posix {

inline bool isStringType(DWORD type) {
  return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
}

}  // namespace dsnconf::posix
