// trace: switches the Driver Manager's ODBC trace for the current user or for
// the machine, in one or both registry views, and records the trace file.
#include <cstring>
#include <string>

#include "cli/output.h"
#include "commands/commands.h"
#include "dsn/registry.h"

namespace dsnconf {
namespace {

struct ScopeInfo {
  HKEY root;
  REGSAM view;
  const char* level;
  const char* bits;
};

ScopeInfo scopeInfo(TraceScope scope) {
  switch (scope) {
    case TraceScope::System64:
      return {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "system", "64-bit"};
    case TraceScope::System32:
      return {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "system", "32-bit"};
    default:
      return {HKEY_CURRENT_USER, 0, "user", "all"};
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
bool openTraceKey(HKEY root, REGSAM view, REGSAM odbcAccess, const ScopeInfo& info,
                  RegKeyHolder& odbcIni, RegKeyHolder& odbc) {
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
  if (!openTraceKey(HKEY_CURRENT_USER, 0, KEY_WRITE, info, odbcIni, odbc)) return false;
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
  if (!openTraceKey(info.root, info.view, KEY_ALL_ACCESS, info, odbcIni, odbc)) return 1;
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

}  // namespace

int cmdTrace(bool on, TraceScope scope, const char* traceFile) {
  if (scope != TraceScope::BothSystemViews) return traceOneScope(on, scope, traceFile);
  const int result = traceOneScope(on, TraceScope::System64, traceFile);
  if (result != 0) return result;
  return traceOneScope(on, TraceScope::System32, traceFile);
}

}  // namespace dsnconf
