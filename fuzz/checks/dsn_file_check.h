// What must hold for a file data source of any content: the checks that the
// file-DSN fuzzer runs on every input and that the unit tests replay on the
// committed corpus. They go through the installer library's own functions, as
// the program calls them.
#pragma once

#include <string>
#include <string_view>

#include "win32.h"

namespace dsnconf::fuzz {

// SQLReadFileDSN and SQLWriteFileDSN of the library under test.
using ReadFileDsnFunction = BOOL (*)(LPCSTR file, LPCSTR section, LPCSTR key, LPSTR buffer,
                                     WORD size, WORD* length);
using WriteFileDsnFunction = BOOL (*)(LPCSTR file, LPCSTR section, LPCSTR key, LPCSTR value);

struct FileDsnInstaller {
  ReadFileDsnFunction readFileDsn;
  WriteFileDsnFunction writeFileDsn;
};

// `input` is the file's content, then a zero byte, a key name, a zero byte and
// a value (a missing key or value stands for a fixed one). The file is written
// to `scratchPath` and, in section ODBC:
// - every read succeeds or fails without harm;
// - a key that was set reads back as the value (without blanks around it),
//   and every other key keeps its value;
// - a key that was removed can no longer be read, and every other key keeps
//   its value;
// - a refused change leaves the file as it was.
// Returns an empty string, or what went wrong.
std::string checkFileDsn(std::string_view input, const FileDsnInstaller& installer,
                         const std::string& scratchPath);

}  // namespace dsnconf::fuzz
