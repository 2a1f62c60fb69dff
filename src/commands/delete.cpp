// delete: removes one property of a data source or a file data source.
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/odbc_ini.h"
#include "platform/odbc_installer.h"

namespace dsnconf {
namespace {

// A missing string asks the installer to remove the key.
int deleteFileValue(const char* path, const char* property) {
  return SQLWriteFileDSN(path, "ODBC", property, nullptr) ? 0 : 1;
}

void printDeleteResult(const char* property, int result) {
  if (result == 0) {
    printLine(std::string("Property ") + property + " deleted.");
  } else {
    printLine(std::string("*** Couldn't delete property ") + property + " ***");
  }
}

int deleteProperty(const DsnTarget& target, const char* property) {
  int result = 0;
  if (target.kind == DsnKind::File) {
    result = deleteFileValue(target.name, property);
  } else {
    RegKeyHolder key;
    // openDsnKey has reported a key it cannot open.
    if (!openDsnKey(target.name, key)) return 1;
    result = RegDeleteValueA(key.get(), property);
  }
  printDeleteResult(property, result);
  return result;
}

}  // namespace

int runDelete(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Delete);
  DsnTarget target;
  readSingleTarget(cursor, target, UsageScreen::Delete);
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Delete);
  const char* property = cursor.next();
  return deleteProperty(target, property);
}

}  // namespace dsnconf
