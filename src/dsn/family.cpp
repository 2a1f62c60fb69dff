#include "dsn/family.h"

#include <cstring>

namespace dsnconf {

const char* const kDriverNames[3] = {
    "Brenmoor ODBC Driver (32-bit)",
    "Sarvonet ODBC Driver",
    "Ivorel ODBC Driver",
};

bool isKnownDriverName(const char* driverName) {
  for (std::int32_t row = GEN3; row >= GEN1; --row) {
    if (std::strcmp(driverName, kDriverNames[row]) == 0) return true;
  }
  return false;
}

const char* versionWord(const std::string& driver) {
  if (driver == kDriverNames[GEN1]) return "GEN1";
  if (driver == kDriverNames[GEN2]) return "GEN2";
  return "GEN3";
}

bool isEarlierDriver(const std::string& driver) {
  return driver == kDriverNames[GEN1] || driver == kDriverNames[GEN2];
}

}  // namespace dsnconf
