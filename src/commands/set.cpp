// set: creates or replaces one property of a data source or a file data source.
#include <cstring>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/odbc_ini.h"
#include "platform/odbc_installer.h"

namespace dsnconf {
namespace {

int setFileValue(const char* path, const char* property, const char* value) {
  return SQLWriteFileDSN(path, "ODBC", property, value) ? 0 : 1;
}

void printSetResult(const char* property, const char* value, int result) {
  if (result == 0) {
    printLine(std::string("Property ") + property + " set.");
  } else {
    printLine(std::string("*** Couldn't set property ") + property + " to '" + value + "' ***");
  }
}

int setProperty(const DsnTarget& target, const char* property, const char* value) {
  int result = 0;
  if (target.kind == DsnKind::File) {
    result = setFileValue(target.name, property, value);
  } else {
    RegKeyHolder key;
    // openDsnKey has reported a key it cannot open.
    if (!openDsnKey(target.name, key)) return 1;
    result = RegSetValueExA(key.get(), property, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                            static_cast<DWORD>(std::strlen(value)));
  }
  printSetResult(property, value, result);
  return result;
}

}  // namespace

int runSet(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Set);
  DsnTarget target;
  readSingleTarget(cursor, target, UsageScreen::Set);
  if (cursor.remaining() < 2) notEnoughArguments(UsageScreen::Set);
  const char* property = cursor.next();
  const char* value = cursor.next();
  return setProperty(target, property, value);
}

}  // namespace dsnconf
