// Reading a key's value lines, which a hive file keeps until the key's values
// are first asked for, into the key.
#pragma once

#include <string_view>

#include "registry/text/reg_parser.h"
#include "registry/tree/reg_key.h"

namespace dsnconf::posix {

// Applies the value lines of one segment to `key`: `lines` holds the
// segment's bytes. Returns the parse's result, whose error names the line.
RegParseResult readValueLines(RegKey& key, std::string_view lines, const ValueSegment& segment);

}  // namespace dsnconf::posix
