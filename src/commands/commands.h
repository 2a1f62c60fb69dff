// The command words' entry points. Each reads the rest of its command line
// and does the command's work; it returns the result that becomes the exit
// status: 0 for success, 1 for a failure it has reported, or a registry error
// code. A wrong command line or a help request ends the run inside it, with
// the command's usage screen.
#pragma once

#include "cli/arg_cursor.h"

namespace dsnconf {

int runView(ArgCursor& cursor);
int runDelete(ArgCursor& cursor);
int runSet(ArgCursor& cursor);
int runName(ArgCursor& cursor);
int runTrace(ArgCursor& cursor);
int runReg(ArgCursor& cursor);

// The commands beyond the first six.
int runAdd(ArgCursor& cursor);
int runRemove(ArgCursor& cursor);
int runCheck(ArgCursor& cursor);
int runExport(ArgCursor& cursor);
int runChange(ArgCursor& cursor);
int runApply(ArgCursor& cursor);
int runShow(ArgCursor& cursor);

}  // namespace dsnconf
