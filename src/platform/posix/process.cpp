// Process information of kernel32: whether the program runs under WOW64 is
// part of the emulated registry's settings.
#include <cstdint>

#include "registry/api/registry_state.h"
#include "win32.h"

namespace {

// The pseudo handle Windows hands out for the calling process.
const HANDLE kCurrentProcess = reinterpret_cast<HANDLE>(static_cast<std::intptr_t>(-1));

}  // namespace

HANDLE GetCurrentProcess() {
  return kCurrentProcess;
}

BOOL IsWow64Process(HANDLE process, PBOOL wow64) {
  if (process != kCurrentProcess || wow64 == nullptr) return FALSE;
  *wow64 = dsnconf::posix::registryConfig().wow64 ? TRUE : FALSE;
  return TRUE;
}
