// Reading a file data source: an INI text of sections and "key=value" lines.
// Section and key names match in any case of A to Z; names and values are
// taken without the blanks around them; the first of two equal keys counts.
#pragma once

#include <string>

namespace dsnconf::odbccp {

enum class Lookup { Found, MissingSection, MissingKey };

struct LookupResult {
  Lookup status;
  std::string text;
};

// The value of `key` in `section`.
LookupResult readValue(const std::string& content, const char* section, const char* key);

// The names of the keys of `section`, in file order, each once, joined by ';'.
LookupResult readKeyNames(const std::string& content, const char* section);

// The names of the sections, in file order, joined by ';'.
std::string readSectionNames(const std::string& content);

}  // namespace dsnconf::odbccp
