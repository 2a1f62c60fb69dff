// The commands beyond the six: each reads its own command line and runs its
// handler, returning the exit status.
#pragma once

#include "cli/arg_cursor.h"

namespace dsnconf {

int runAdd(ArgCursor& cursor);
int runRemove(ArgCursor& cursor);
int runCheck(ArgCursor& cursor);
int runExport(ArgCursor& cursor);

}  // namespace dsnconf
