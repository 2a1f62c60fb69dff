#include "platform/exit_status.h"

namespace dsnconf {

// A POSIX exit status keeps only the low 8 bits; a failure such as a
// registry error 1280 would read as success, so it becomes 1.
int toExitStatus(int result) {
  if (result != 0 && (result & 0xFF) == 0) return 1;
  return result;
}

}  // namespace dsnconf
