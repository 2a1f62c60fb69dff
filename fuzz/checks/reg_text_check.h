// What must hold for any .reg text, whatever its bytes: the checks that the
// hive-file fuzzer runs on every input and that the unit tests replay on the
// committed corpus.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf::fuzz {

// Reads `input` as a whole hive file and, where that succeeds, checks that
// - its canonical text reads back as itself;
// - its statements, written as one journal entry after a bare header, give
//   the same registry state;
// - read in two steps, a first part as a whole file and the rest as text
//   appended to it, the way a process catches up with another's changes, it
//   gives the state of one whole read.
// Returns an empty string, or what went wrong.
std::string checkRegText(std::string_view input);

}  // namespace dsnconf::fuzz
