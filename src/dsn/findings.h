// What check diagnoses: each state of the family's configuration that keeps
// an application from using a data source, computed from the inventory and
// the file data sources alone, with the dsnconf command line that repairs it
// where there is one.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/inventory.h"

namespace dsnconf {

enum class Severity { Error, Warning, Info };

// A family file data source of the default folder: its path and the driver
// its DRIVER key names.
struct FileDataSource {
  std::string path;
  std::string driver;
  // The keys of its [ODBC] section that hold a password that is not empty,
  // as the file spells them.
  std::vector<std::string> passwordKeys = {};
  // Whether /fdsn takes it: the first commands ask for its SYSTEM key.
  bool isTarget = true;
};

struct Finding {
  const char* id = "";
  Severity severity = Severity::Info;
  // The registry place, or null for a file data source.
  const Place* place = nullptr;
  std::string file;                   // the file data source's path, for a file finding
  std::optional<std::string> dsn;     // the data source the finding is about
  std::optional<std::string> driver;  // the family driver it concerns
  std::string message;
  std::optional<std::string> fix;  // a dsnconf command line
};

// Everything check looks at.
struct Configuration {
  Inventory inventory;
  std::vector<FileDataSource> files;
};

// Every finding, in the order of the finding table, each table row's in the
// order of the places (user, 64-bit, 32-bit) and of their data sources.
std::vector<Finding> diagnose(const Configuration& configuration);

// "error", "warning" or "info".
const char* severityName(Severity severity);

}  // namespace dsnconf
