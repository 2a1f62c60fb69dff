// What every command's argument parsing shares: help requests, the keyword
// comparison and the ways a wrong command line ends the run.
#pragma once

#include <string>

#include "cli/arg_cursor.h"
#include "cli/usage.h"

namespace dsnconf {

// Keywords are compared after normaliseKeyword, byte for byte.
bool equalsKeyword(const char* normalised, const char* keyword);

// A help request is the argument right after the command word: "/help" (its
// first five characters, any case) or "/?". It ends the run with the screen
// and status 0; any other argument, or none, returns.
void checkHelpRequest(const char* argument, UsageScreen screen);

// Whether the command line ends in /whatif (any case), which every command
// that writes data sources takes as its last argument: shows what it would
// do and writes nothing. The word is taken off the end of the line.
bool takeWhatIf(ArgCursor& cursor);

// "*** Not enough arguments ***", then the screen, status -1.
[[noreturn]] void notEnoughArguments(UsageScreen screen);

// One line saying what is wrong, then the screen, status -1.
[[noreturn]] void usageError(const std::string& line, UsageScreen screen);

}  // namespace dsnconf
