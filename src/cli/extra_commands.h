// The argument parsing of the commands beyond the six; each returns the
// command's exit status.
#pragma once

#include "cli/arg_cursor.h"

namespace dsnconf {

int runCheck(ArgCursor& cursor);

}  // namespace dsnconf
