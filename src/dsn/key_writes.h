// The deletion of a key with everything below it.
#pragma once

#include <string>

#include "win32.h"

namespace dsnconf {

// Deletes `subKey` of `parent` with every key below it, deepest first, in the
// view `view` (0 for the user's tree).
LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view);

}  // namespace dsnconf
