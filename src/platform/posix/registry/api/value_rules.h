// How the ANSI calls hand a stored value over: which types are strings, the
// expansion of REG_EXPAND_SZ and the type restrictions of RegGetValueA.
#pragma once

#include <string>

#include "registry/text/value_types.h"
#include "win32.h"

namespace dsnconf::posix {

// %NAME% replaced by the environment variable NAME where it is set, as
// ExpandEnvironmentStrings does.
std::string expandEnvironmentStrings(const std::string& text);

// The type check of RegGetValueA, made after the data was read: `result` as
// the read left it, or the error the flags give for the value's type and size.
LONG applyTypeRestriction(DWORD flags, DWORD type, DWORD size, LONG result);

}  // namespace dsnconf::posix
