// libFuzzer target: file data sources of any content, read and changed
// through the installer library's own functions.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "dsn_file_check.h"

extern "C" {
BOOL SQLReadFileDSN(LPCSTR file, LPCSTR section, LPCSTR key, LPSTR buffer, WORD size, WORD* length);
BOOL SQLWriteFileDSN(LPCSTR file, LPCSTR section, LPCSTR key, LPCSTR value);
}

namespace {

// One file name for the whole run; the file is removed after each input, as
// libFuzzer ends a run without the usual clean-up at exit.
const std::string& scratchPath() {
  static const std::string path = [] {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder != nullptr && *folder != '\0' ? folder : "/tmp") + "/dsnconf-fuzz-" +
           std::to_string(::getpid()) + ".dsn";
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const dsnconf::fuzz::FileDsnInstaller installer{SQLReadFileDSN, SQLWriteFileDSN};
  const std::string problem = dsnconf::fuzz::checkFileDsn(
      {reinterpret_cast<const char*>(data), size}, installer, scratchPath());
  ::unlink(scratchPath().c_str());
  if (!problem.empty()) {
    std::fprintf(stderr, "file DSN check failed: %s\n", problem.c_str());
    std::abort();
  }
  return 0;
}
