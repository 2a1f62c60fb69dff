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
// hex(N):. A name's line breaks and zeros go out as \r, \n and \0.
void appendValueLine(std::string& out, const std::string& name, DWORD type,
                     const std::string& data);
void appendValueDeletionLine(std::string& out, const std::string& name);

// Value names that a change may set: none with line breaks, which only a name
// read from a Wine export holds (and a rewrite keeps, escaped). Key names
// also must not be empty nor contain backslashes.
bool isWritableValueName(const std::string& name);
bool isWritableKeyName(const std::string& name);

}  // namespace dsnconf::posix
