// Where a file data source named by the caller lives.
#pragma once

#include <string>

namespace dsnconf::odbccp {

// An absolute path is taken as it is; any other name is relative to the
// default file data source folder (DefaultDSNDir under HKEY_LOCAL_MACHINE's
// "SOFTWARE\ODBC\ODBC.INI\ODBC File DSN"), or to the current folder when none is
// set. ".dsn" is appended unless the name already ends in it, in any case.
// Returns an empty string for a missing or empty name.
std::string resolveDsnFilePath(const char* name);

}  // namespace dsnconf::odbccp
