// Every message of the program is one line on standard output, flushed at once.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf {

// The first six commands print the bytes they hold (ANSI text, as their calls
// return it); the later ones hold text as WTF-8, which the platform writes as
// its terminal or a pipe takes it. A command of the later ones hands its
// writer over before it prints anything.
using LineWriter = void (*)(std::string_view line);
void useLineWriter(LineWriter writer);

void printLine(std::string_view line);

// The line for a command line that stops short of what its command needs.
void printNotEnoughArguments();

// The line after a failure whose likely cause is a standard user changing the
// machine's configuration.
void printAdministratorHint();

}  // namespace dsnconf
