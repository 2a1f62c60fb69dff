// One finding of check: what is wrong, where, and the command line that
// repairs it where there is one.
#pragma once

#include <optional>
#include <string>

#include "dsn/places.h"

namespace dsnconf {

enum class Severity { Error, Warning, Info };

struct Finding {
  const char* id = "";
  Severity severity = Severity::Info;
  // The registry place, or null for a file data source.
  const Place* place = nullptr;
  std::string file;                   // the file data source's path, for a file finding
  std::optional<std::string> dsn;     // the data source the finding is about
  std::optional<std::string> driver;  // the family driver it concerns
  std::string message;
  std::optional<std::string> fix;  // the command line that repairs it
};

}  // namespace dsnconf
