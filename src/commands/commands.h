// The command handlers. Each returns the result that becomes the exit status:
// 0 for success, 1 for a failure it has reported, or a registry error code.
#pragma once

#include "dsn/target.h"

namespace dsnconf {

enum class TraceScope : int { BothSystemViews = 0, System64 = 1, System32 = 2, User = 3 };

int cmdView(const DsnTarget& target, const char* property);
int cmdDelete(const DsnTarget& target, const char* property);
int cmdSet(const DsnTarget& target, const char* property, const char* value);
int cmdName(const DsnTarget& target, DriverVersion version);
int cmdTrace(bool on, TraceScope scope, const char* traceFile);
int cmdReg(DriverVersion version, bool add);

enum class ExportFormat { Json, Reg };

// Writes the family's configuration to standard output (file null) or to
// the file, replacing an existing one only with `replace`.
int cmdExport(ExportFormat format, const char* file, bool replace);

}  // namespace dsnconf
