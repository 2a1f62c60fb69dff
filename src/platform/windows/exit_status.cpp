#include "platform/exit_status.h"

namespace dsnconf {

// Windows keeps the whole 32-bit exit code.
int toExitStatus(int result) {
  return result;
}

}  // namespace dsnconf
