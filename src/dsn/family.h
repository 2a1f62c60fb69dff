// The Ivorel driver family: its three driver names, GEN3 the current one and
// GEN1, GEN2 the earlier names that data sources may still use.
#pragma once

#include <cstdint>
#include <string>

namespace dsnconf {

enum DriverVersion : std::int32_t { GEN1 = 0, GEN2 = 1, GEN3 = 2 };

// Indexed by DriverVersion.
extern const char* const kDriverNames[3];

// Exact, case-sensitive comparison with the three names.
bool isKnownDriverName(const char* driverName);

// "GEN1", "GEN2" or "GEN3" for a family driver name.
const char* versionWord(const std::string& driver);

bool isEarlierDriver(const std::string& driver);

}  // namespace dsnconf
