// Argument parsing of the commands beyond the six: each reads its command
// line from the cursor (placed after the command word) and runs its handler.
#pragma once

#include "cli/arg_cursor.h"

namespace dsnconf {

int runExport(ArgCursor& cursor);

}  // namespace dsnconf
