// What check diagnoses: each state of the family's configuration that keeps
// an application from using a data source (or exposes what it holds),
// computed from the inventory and the file data sources alone, with the
// command line that repairs it where there is one.
#pragma once

#include <vector>

#include "dsn/configuration.h"
#include "dsn/finding.h"

namespace dsnconf {

// Every finding, in the order of the finding table, each table row's in the
// order of the places (user, 64-bit, 32-bit) and of their data sources.
std::vector<Finding> diagnose(const Configuration& configuration);

// "error", "warning" or "info".
const char* severityName(Severity severity);

}  // namespace dsnconf
