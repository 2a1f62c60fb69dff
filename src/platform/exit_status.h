// How a handler's result becomes the process exit status.
#pragma once

namespace dsnconf {

// The entry function's result as the exit status this platform can carry.
int toExitStatus(int result);

}  // namespace dsnconf
