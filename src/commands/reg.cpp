// reg: registers or unregisters an earlier driver of the family by copying
// the current driver's registration in ODBCINST.INI, in the 32-bit registry
// view and, on 64-bit Windows, in the 64-bit view too.
#include <cstring>
#include <string>
#include <vector>

#include "base/output.h"
#include "cli/command_line.h"
#include "cli/dsn_args.h"
#include "commands/commands.h"
#include "dsn/family.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

constexpr const char* kInstalled = "Installed";
constexpr std::size_t kRegActionBuffer = 10;

// Copies one value with its own type and its whole data: a registration whose
// REG_DWORD or REG_MULTI_SZ values became strings would no longer load.
std::int32_t copyValueVisitor(HKEY sourceKey, const char* valueName, const char*, void* targetKey) {
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(sourceKey, valueName, nullptr, &type, nullptr, &size);
  if (status != ERROR_SUCCESS) return status;
  // One zero byte beyond the data: a string is handed over with its length,
  // and the registry looks at the byte after it for a terminator.
  std::vector<BYTE> data(size + 1, 0);
  status = RegQueryValueExA(sourceKey, valueName, nullptr, &type, data.data(), &size);
  if (status != ERROR_SUCCESS) return status;
  return RegSetValueExA(static_cast<HKEY>(targetKey), valueName, 0, type, data.data(), size);
}

std::int32_t deleteValueVisitor(HKEY key, const char* valueName, const char*, void*) {
  return RegDeleteValueA(key, valueName);
}

void printNotRegistered(const char* driver) {
  printLine(std::string("*** '") + driver + "' not registered. ***");
}

void printCouldNotRegister(const char* driver) {
  printLine(std::string("*** Couldn't register '") + driver + "' ***");
}

struct Pass {
  const char* target;
  const char* source;
  REGSAM view;
  const char* bits;
};

// Opens a subkey of an open key in the pass's view with full access.
LSTATUS openInView(HKEY parent, const char* subKey, const Pass& pass, RegKeyHolder& key) {
  const LSTATUS status =
      RegOpenKeyExA(parent, subKey, 0, pass.view | KEY_ALL_ACCESS, key.receive());
  if (status != ERROR_SUCCESS) key.clearAfterFailure();
  return status;
}

int registerDriver(const Pass& pass, HKEY driverRoot, HKEY driverList) {
  RegKeyHolder sourceKey;
  const LSTATUS sourceStatus = openInView(driverRoot, pass.source, pass, sourceKey);
  if (sourceStatus == ERROR_FILE_NOT_FOUND) {
    printNotRegistered(pass.source);
    return 1;
  }
  if (sourceStatus == ERROR_ACCESS_DENIED) {
    printLine(std::string("*** Not authorized to '") + pass.source + "' registry keys. ***");
    return 1;
  }
  if (sourceStatus != ERROR_SUCCESS) {
    printLine(std::string("*** Error reading '") + pass.source + "' registry keys. ***");
    return sourceStatus;
  }

  RegKeyHolder targetKey;
  if (openInView(driverRoot, pass.target, pass, targetKey) == ERROR_SUCCESS) {
    printLine(std::string("*** '") + pass.target + "' already registered ***");
    return 0;
  }
  LSTATUS status = RegCreateKeyExA(driverRoot, pass.target, 0, nullptr, 0, KEY_WRITE, nullptr,
                                   targetKey.receive(), nullptr);
  if (status != ERROR_SUCCESS) {
    targetKey.clearAfterFailure();
    printCouldNotRegister(pass.target);
    return status;
  }

  // A failed copy leaves the values copied so far and no driver-list entry.
  const std::int32_t copied = enumerateValues(sourceKey.get(), copyValueVisitor, targetKey.get());
  if (copied != 0) return copied;

  status =
      RegSetValueExA(driverList, pass.target, 0, REG_SZ, reinterpret_cast<const BYTE*>(kInstalled),
                     static_cast<DWORD>(std::strlen(kInstalled)));
  if (status != ERROR_SUCCESS) {
    printCouldNotRegister(pass.target);
    return status;
  }
  printLine(std::string("Registered the ") + pass.bits + "-bit '" + pass.target + "' driver.");
  return 0;
}

int unregisterDriver(const Pass& pass, HKEY driverRoot, HKEY driverList) {
  RegKeyHolder targetKey;
  const LSTATUS targetStatus = openInView(driverRoot, pass.target, pass, targetKey);
  if (targetStatus == ERROR_FILE_NOT_FOUND) {
    printNotRegistered(pass.target);
    return 1;
  }
  if (targetStatus == ERROR_ACCESS_DENIED) {
    printLine(std::string("*** Not authorized to unregister '") + pass.target + "' driver. ***");
    return 1;
  }
  if (targetStatus != ERROR_SUCCESS) {
    printLine(std::string("*** Error removing '") + pass.target + "' registry keys. ***");
    return targetStatus;
  }

  const std::int32_t emptied = deleteEveryValue(targetKey.get(), deleteValueVisitor, nullptr);
  if (emptied != 0) return emptied;
  targetKey.close();

  LSTATUS status = RegDeleteKeyExA(driverRoot, pass.target, pass.view, 0);
  if (status != ERROR_SUCCESS) {
    printLine(std::string(" *** Error removing '") + pass.target + "' from ODBCINST.INI ***");
    return status;
  }
  status = RegDeleteValueA(driverList, pass.target);
  if (status != ERROR_SUCCESS) {
    printLine(std::string(" *** Error unregistering '") + pass.target +
              "' from the driver manager ***");
    return status;
  }
  printLine(std::string("Unregistered the ") + pass.bits + "-bit '" + pass.target + "' driver.");
  return 0;
}

int regOneView(DriverVersion version, bool add, const Place& view) {
  const Pass pass = {kDriverNames[version], kDriverNames[GEN3], view.viewFlag, viewBits(view)};
  RegKeyHolder driverRoot;
  LSTATUS status = RegOpenKeyExA(HKEY_LOCAL_MACHINE, kOdbcInstPath, 0, pass.view | KEY_ALL_ACCESS,
                                 driverRoot.receive());
  if (status != ERROR_SUCCESS) {
    driverRoot.clearAfterFailure();
    printLine("*** Could not open ODBCINST.INI ***");
    return status;
  }
  RegKeyHolder driverList;
  status = openInView(driverRoot.get(), kDriverListName, pass, driverList);
  if (status != ERROR_SUCCESS) {
    printLine("*** Could not open 'ODBC Drivers' ***");
    return status;
  }
  return add ? registerDriver(pass, driverRoot.get(), driverList.get())
             : unregisterDriver(pass, driverRoot.get(), driverList.get());
}

// The 32-bit view first, then on 64-bit Windows the 64-bit one.
int regViews(DriverVersion version, bool add) {
  const int result32 = regOneView(version, add, kSystem32Place);
  const int result64 = hasTwoMachineViews() ? regOneView(version, add, kSystem64Place) : 0;
  return result32 != 0 ? result32 : result64;
}

}  // namespace

int runReg(ArgCursor& cursor) {
  checkHelpRequest(cursor.peek(), UsageScreen::Reg);
  if (cursor.remaining() < 2) notEnoughArguments(UsageScreen::Reg);

  char action[kRegActionBuffer];
  normaliseKeyword(cursor.next(), action);
  bool add = false;
  if (equalsKeyword(action, "/add")) {
    add = true;
  } else if (!equalsKeyword(action, "/del")) {
    usageError(std::string("*** Invalid reg command specified: ") + cursor.current() + " ***",
               UsageScreen::Reg);
  }

  const DriverVersion version = parseDriverVersion(cursor.next(), UsageScreen::Reg);
  if (version == GEN3) {
    usageError(std::string("*** Registration or unregistration of '") + kDriverNames[GEN3] +
                   "' not allowed ***",
               UsageScreen::Reg);
  }
  return regViews(version, add);
}

}  // namespace dsnconf
