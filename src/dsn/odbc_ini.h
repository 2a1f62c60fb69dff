// Where ODBC keeps data sources in the registry: the paths of ODBC.INI and
// ODBCINST.INI, a data source's key and its entry in the data-source list, and
// what such an entry says: a driver of the family, another driver, or
// something the first commands' walks pass over.
#pragma once

#include <optional>
#include <string>

#include "dsn/places.h"
#include "dsn/reg_read.h"
#include "win32.h"

namespace dsnconf {

constexpr const char* kOdbcIniPath = "SOFTWARE\\ODBC\\ODBC.INI";
constexpr const char* kDataSourceListName = "ODBC Data Sources";
constexpr const char* kDataSourceListPath = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kTraceKeyName = "ODBC";
constexpr const char* kFileDsnKeyName = "ODBC File DSN";
constexpr const char* kOdbcInstPath = "SOFTWARE\\ODBC\\ODBCINST.INI";
constexpr const char* kDriverListName = "ODBC Drivers";
constexpr const char* kDriverListPath = "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers";

// "SOFTWARE\ODBC\ODBC.INI\<name>".
std::string dsnKeyPath(const std::string& name);

// The names of the special keys of ODBC.INI that are no data sources.
bool isOdbcIniSpecialKey(const std::string& name);

// Opens the data source's key with full access where the first commands look
// for it: current user, then the 64-bit machine view, then the 32-bit one. On
// false two lines are printed.
bool openDsnKey(const char* name, RegKeyHolder& key);

// Why the walks of `view /all` and `name /all` pass over a list entry.
enum class EntryProblem {
  NotAString,  // not REG_SZ: a driver name is a string
  TooLong,     // its name or data does not fit their 1024-byte buffers
};

// What an entry of a data-source list says.
struct EntryReading {
  // A REG_SZ naming one of the family's drivers: a data source of the family.
  bool namesFamilyDriver = false;
  // Why the walks of view /all and name /all would pass over it, if they do.
  std::optional<EntryProblem> problem;
};
EntryReading readEntry(const RegistryValue& entry);

// Whether the data source's key exists in the place; the registry error that
// kept it from being looked at otherwise.
LSTATUS dsnKeyExists(const Place& place, const std::string& name, bool& exists);

// A data source's entry in the place's "ODBC Data Sources" list, if any.
LSTATUS readListEntry(const Place& place, const std::string& name,
                      std::optional<RegistryValue>& entry);

}  // namespace dsnconf
