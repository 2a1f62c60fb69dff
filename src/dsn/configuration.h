// Everything check looks at: the inventory of the registry and the family's
// file data sources of the default folder.
#pragma once

#include <string>
#include <vector>

#include "dsn/inventory.h"

namespace dsnconf {

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

struct Configuration {
  Inventory inventory;
  std::vector<FileDataSource> files;
};

}  // namespace dsnconf
