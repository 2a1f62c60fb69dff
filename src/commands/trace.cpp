// trace: switches the Driver Manager's ODBC trace for the current user or for
// the machine, in one or both registry views, and records the trace file.
#include <cstring>
#include <string>

#include "base/output.h"
#include "cli/command_line.h"
#include "commands/commands.h"
#include "dsn/odbc_ini.h"

namespace dsnconf {
namespace {

enum class TraceScope : int { BothSystemViews = 0, System64 = 1, System32 = 2, User = 3 };

constexpr std::size_t kTraceWordBuffer = 10;

// The place a scope writes to, and how messages name its level and its
// applications.
struct ScopeInfo {
  const Place* place;
  const char* level;
  const char* bits;
};

ScopeInfo scopeInfo(TraceScope scope) {
  switch (scope) {
    case TraceScope::System64:
      return {&kSystem64Place, "system", "64-bit"};
    case TraceScope::System32:
      return {&kSystem32Place, "system", "32-bit"};
    default:
      return {&kUserPlace, "user", "all"};
  }
}

constexpr REGSAM kOdbcIniAccess = KEY_CREATE_SUB_KEY | KEY_ENUMERATE_SUB_KEYS;

LSTATUS setString(HKEY key, const char* name, const char* value) {
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                        static_cast<DWORD>(std::strlen(value)));
}

void couldNotSetTrace(const ScopeInfo& info) {
  printLine(std::string("*** Could not set trace at ") + info.level + " level for " + info.bits +
            " applications. ***");
}

// Opens ODBC.INI under the root in the view, then its ODBC subkey with
// `odbcAccess`, creating it for writing when it cannot be opened. Prints the
// failure line.
bool openTraceKey(const Place& place, REGSAM odbcAccess, const ScopeInfo& info,
                  RegKeyHolder& odbcIni, RegKeyHolder& odbc) {
  const HKEY root = place.root;
  const REGSAM view = place.viewFlag;
  if (RegOpenKeyExA(root, kOdbcIniPath, 0, view | kOdbcIniAccess, odbcIni.receive()) !=
      ERROR_SUCCESS) {
    odbcIni.clearAfterFailure();
    printLine("*** Couldn't open ODBC.INI ***");
    return false;
  }
  if (RegOpenKeyExA(odbcIni.get(), "ODBC", 0, view | odbcAccess, odbc.receive()) == ERROR_SUCCESS) {
    return true;
  }
  odbc.clearAfterFailure();
  if (RegCreateKeyExA(odbcIni.get(), "ODBC", 0, nullptr, 0, view | KEY_WRITE, nullptr,
                      odbc.receive(), nullptr) == ERROR_SUCCESS) {
    return true;
  }
  odbc.clearAfterFailure();
  couldNotSetTrace(info);
  return false;
}

void couldNotSetTraceFile(const ScopeInfo& info) {
  printLine(std::string("*** Could not set trace file at ") + info.level + " level for " +
            info.bits + " applications. ***");
}

// The trace file is always kept under the current user, also for the machine.
bool writeUserTraceFile(const char* traceFile, const ScopeInfo& info) {
  RegKeyHolder odbcIni;
  RegKeyHolder odbc;
  if (!openTraceKey(kUserPlace, KEY_WRITE, info, odbcIni, odbc)) return false;
  if (setString(odbc.get(), "TraceFile", traceFile) != ERROR_SUCCESS) {
    couldNotSetTraceFile(info);
    return false;
  }
  return true;
}

int traceOneScope(bool on, TraceScope scope, const char* traceFile) {
  const ScopeInfo info = scopeInfo(scope);
  RegKeyHolder odbcIni;
  RegKeyHolder odbc;
  if (!openTraceKey(*info.place, KEY_ALL_ACCESS, info, odbcIni, odbc)) return 1;
  if (setString(odbc.get(), "Trace", on ? "1" : "0") != ERROR_SUCCESS) {
    couldNotSetTrace(info);
    return 1;
  }
  if (traceFile) {
    if (scope == TraceScope::User) {
      if (setString(odbc.get(), "TraceFile", traceFile) != ERROR_SUCCESS) {
        couldNotSetTraceFile(info);
        return 1;
      }
    } else if (!writeUserTraceFile(traceFile, info)) {
      return 1;
    }
  }
  printLine(std::string("Trace ") + (on ? "enabled" : "disabled") + " at the " + info.level +
            " level for " + info.bits + " applications.");
  return 0;
}

int traceScopes(bool on, TraceScope scope, const char* traceFile) {
  if (scope != TraceScope::BothSystemViews) return traceOneScope(on, scope, traceFile);
  const int result = traceOneScope(on, TraceScope::System64, traceFile);
  if (result != 0) return result;
  return traceOneScope(on, TraceScope::System32, traceFile);
}

[[noreturn]] void invalidTraceCommand(const ArgCursor& cursor) {
  usageError(std::string("*** Invalid trace command specified: ") + cursor.current() + " ***",
             UsageScreen::Trace);
}

TraceScope readTraceScope(ArgCursor& cursor) {
  char level[kTraceWordBuffer];
  normaliseKeyword(cursor.next(), level);
  if (equalsKeyword(level, "/user")) return TraceScope::User;
  if (!equalsKeyword(level, "/system")) invalidTraceCommand(cursor);

  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  // The view selectors are compared as typed; anything else is the switch.
  const char* selector = cursor.next();
  if (std::strcmp(selector, "/64") == 0) return TraceScope::System64;
  if (std::strcmp(selector, "/32") == 0) return TraceScope::System32;
  cursor.stepBack();
  return TraceScope::BothSystemViews;
}

}  // namespace

int runTrace(ArgCursor& cursor) {
  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  checkHelpRequest(cursor.peek(), UsageScreen::Trace);
  const TraceScope scope = readTraceScope(cursor);

  if (cursor.remaining() < 1) notEnoughArguments(UsageScreen::Trace);
  char onOff[kTraceWordBuffer];
  normaliseKeyword(cursor.next(), onOff);
  bool on = false;
  if (equalsKeyword(onOff, "on")) {
    on = true;
  } else if (!equalsKeyword(onOff, "off")) {
    invalidTraceCommand(cursor);
  }
  const char* traceFile = cursor.next();
  return traceScopes(on, scope, traceFile);
}

}  // namespace dsnconf
