// The front end: selects the command, checks its arguments and runs it.
#pragma once

namespace dsnconf {

// Returns the handler's result; argument errors and help requests end the
// process inside printUsageAndExit instead.
int dispatch(int argc, char** argv);

}  // namespace dsnconf
