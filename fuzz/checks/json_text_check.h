// What must hold for any text given to apply as its file: the checks that the
// JSON fuzzer runs on every input and that the unit tests replay on the
// committed corpus.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf::fuzz {

// Reads `input` (without a leading byte order mark) as a JSON document and
// checks that
// - it is read where the JSON library reads it, and refused where the library
//   refuses it, where it nests deeper than the reader's limit, or where it
//   holds a zero byte (at which the library stops reading);
// - what is read is what the library reads, members in the same order;
// - reading it as apply's file gives a desired state or a fault, never a crash.
// Returns an empty string, or what went wrong.
std::string checkJsonText(std::string_view input);

}  // namespace dsnconf::fuzz
