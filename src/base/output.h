// Every message of the program is one line on standard output, flushed at once.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf {

void printLine(std::string_view line);

// The line for a command line that stops short of what its command needs.
void printNotEnoughArguments();

// The line after a failure whose likely cause is a standard user changing the
// machine's configuration.
void printAdministratorHint();

}  // namespace dsnconf
