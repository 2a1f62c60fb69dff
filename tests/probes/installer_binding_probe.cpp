// Makes installer calls through the binding, one per argument, in a process of
// its own: the binding keeps its library for the life of the process, so each
// test of it starts a fresh one. Prints one line per call on standard output;
// the binding's message boxes appear on standard error.
//
//   cd:FOLDER    make FOLDER the current folder
//   valid:NAME   SQLValidDSN(NAME)
//   read:PATH    SQLReadFileDSN(PATH, "ODBC", "SYSTEM", buffer of 256, 256, null)
//   error        SQLInstallerError(1, &code, buffer of 256, 256, null), code set to 0 first
//   errorW       SQLInstallerErrorW(1, &code, buffer of 256, 256, null)
//   post         SQLPostInstallerError(1, "posted")
//   config       SQLConfigDataSource(null, 1, "driver", "DSN=x")
//   loads        how often the program asked the loader for a library
#include <unistd.h>

#include <cstdio>
#include <string>

#include "library_loads.h"
#include "platform/odbc_installer.h"

namespace {

constexpr WORD kBufferSize = 256;

void call(const std::string& step) {
  const std::size_t colon = step.find(':');
  const std::string verb = step.substr(0, colon);
  const std::string argument = colon == std::string::npos ? "" : step.substr(colon + 1);
  if (verb == "cd") {
    std::printf("cd=%d\n", chdir(argument.c_str()));
  } else if (verb == "valid") {
    std::printf("SQLValidDSN=%d\n", SQLValidDSN(argument.c_str()));
  } else if (verb == "read") {
    char buffer[kBufferSize] = "";
    const BOOL result =
        SQLReadFileDSN(argument.c_str(), "ODBC", "SYSTEM", buffer, kBufferSize, nullptr);
    std::printf("SQLReadFileDSN=%d value=%s\n", result, buffer);
  } else if (verb == "error") {
    DWORD code = 0;
    char buffer[kBufferSize] = "";
    const RETCODE result = SQLInstallerError(1, &code, buffer, kBufferSize, nullptr);
    std::printf("SQLInstallerError=%d code=%u\n", result, static_cast<unsigned>(code));
  } else if (verb == "errorW") {
    DWORD code = 0;
    wchar_t buffer[kBufferSize] = L"";
    const RETCODE result = SQLInstallerErrorW(1, &code, buffer, kBufferSize, nullptr);
    std::printf("SQLInstallerErrorW=%d code=%u\n", result, static_cast<unsigned>(code));
  } else if (verb == "post") {
    std::printf("SQLPostInstallerError=%d\n", SQLPostInstallerError(1, "posted"));
  } else if (verb == "config") {
    std::printf("SQLConfigDataSource=%d\n", SQLConfigDataSource(nullptr, 1, "driver", "DSN=x"));
  } else if (verb == "loads") {
    std::printf("loads=%zu\n", dsnconf::loadLibraryCallCount());
  } else {
    std::printf("unknown step %s\n", step.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) call(argv[i]);
  return 0;
}
