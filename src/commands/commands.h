// The command handlers. Each returns the result that becomes the exit status:
// 0 for success, 1 for a failure it has reported, or a registry error code.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dsn/registry_edit.h"
#include "dsn/target.h"

namespace dsnconf {

enum class TraceScope : int { BothSystemViews = 0, System64 = 1, System32 = 2, User = 3 };

int cmdView(const DsnTarget& target, const char* property);
int cmdDelete(const DsnTarget& target, const char* property);
int cmdSet(const DsnTarget& target, const char* property, const char* value);
int cmdName(const DsnTarget& target, DriverVersion version);
int cmdTrace(bool on, TraceScope scope, const char* traceFile);
int cmdReg(DriverVersion version, bool add);

// add and remove: one data source in the places a command line chose.
struct DsnRequest {
  PlaceChoice places;
  std::string name;
};
struct AddRequest {
  DsnRequest dsn;
  DriverVersion version = GEN3;
  // Names and values in the order given; neither "Driver" nor a name twice.
  std::vector<std::pair<std::string, std::string>> properties;
};
int cmdAdd(const AddRequest& request);
int cmdRemove(const DsnRequest& request);

// Beyond the six: 0 when nothing above a note was found, 1 when a warning or
// an error was, or the registry error that stopped the reading.
int cmdCheck(bool json);
enum class ExportFormat { Json, Reg };

// Writes the family's configuration to standard output (file null) or to
// the file, replacing an existing one only with `replace`.
int cmdExport(ExportFormat format, const char* file, bool replace);

}  // namespace dsnconf
