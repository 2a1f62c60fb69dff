// The family's file data sources in the default folder: the folder named by
// DefaultDSNDir, each .dsn file there read through the ODBC installer as the
// other commands read file data sources.
#pragma once

#include <string>
#include <vector>

#include "dsn/configuration.h"

namespace dsnconf {

// The .dsn files of `folder` whose DRIVER names a family driver, by file name
// (which the installer resolves in the default folder), sorted by name. A
// missing folder has none; a file the installer cannot read is passed over.
std::vector<FileDataSource> readFamilyFileDataSources(const std::string& folder);

}  // namespace dsnconf
