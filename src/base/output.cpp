#include "base/output.h"

#include <cstdio>

namespace dsnconf {

namespace {

LineWriter lineWriter = nullptr;

}  // namespace

void useLineWriter(LineWriter writer) {
  lineWriter = writer;
}

// Written as bytes: names read from the registry or typed by the user may hold
// any 8-bit character, including '%'.
void printLine(std::string_view line) {
  if (lineWriter) {
    lineWriter(line);
    return;
  }
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void printNotEnoughArguments() {
  printLine("*** Not enough arguments ***");
}

void printAdministratorHint() {
  printLine("*** You may need to run this tool as an administrator ***");
}

}  // namespace dsnconf
