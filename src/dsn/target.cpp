// Asks the ODBC installer whether a target may be used before any command
// touches it.
#include "dsn/target.h"

#include <string>

#include "base/output.h"
#include "platform/odbc_installer.h"
#include "platform/text_io.h"

namespace dsnconf {
namespace {

// Sized for the SYSTEM key; the value read is not used.
constexpr WORD kSystemKeyBuffer = 256;

}  // namespace

// A file counts as a file data source when its SYSTEM key can be read, also
// when the value was too long for the buffer.
bool isReadableFileDsn(const char* path) {
  char buffer[kSystemKeyBuffer] = {};
  if (SQLReadFileDSN(path, "ODBC", "SYSTEM", buffer, kSystemKeyBuffer, nullptr)) return true;
  DWORD code = 0;
  SQLInstallerError(1, &code, buffer, kSystemKeyBuffer, nullptr);
  return code == ODBC_ERROR_OUTPUT_STRING_TRUNCATED;
}

bool validateDsnTarget(const DsnTarget& target) {
  if (target.kind == DsnKind::File) {
    if (isReadableFileDsn(target.name)) return true;
    printLine(std::string("*** ") + target.name + " does not seem to be a valid file DSN ***");
    return false;
  }
  if (SQLValidDSN(target.name)) return true;
  printLine(std::string("*** ") + target.name + " is not a valid DSN ***");
  return false;
}

bool validateDsnName(const std::string& name) {
  if (SQLValidDSNW(wideText(name).c_str())) return true;
  printLine("*** " + name + " is not a valid DSN ***");
  return false;
}

}  // namespace dsnconf
