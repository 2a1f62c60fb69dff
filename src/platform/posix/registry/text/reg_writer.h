// Writing .reg text: the lines of the statements a change appends, and of the
// whole file a rewrite puts in place.
#pragma once

#include <string>

#include "win32.h"

namespace dsnconf::posix {

// Every function appends one complete line.
void appendSectionLine(std::string& out, const std::string& fullPath);
void appendKeyDeletionLine(std::string& out, const std::string& fullPath);
// Strings go out as "..." when that form reads back as exactly the same
// bytes, 4-byte REG_DWORD values as dword:, REG_BINARY as hex:, all others as
// hex(N):.
void appendValueLine(std::string& out, const std::string& name, DWORD type,
                     const std::string& data);
void appendValueDeletionLine(std::string& out, const std::string& name);

// Value names that a line can carry (no line breaks); key names also must not
// be empty nor contain backslashes.
bool isWritableValueName(const std::string& name);
bool isWritableKeyName(const std::string& name);

}  // namespace dsnconf::posix
