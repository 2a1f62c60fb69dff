// The banner and the usage screens, and the one way the front end ends a run
// early.
#pragma once

namespace dsnconf {

enum class UsageScreen : int {
  General = 0,
  View = 1,
  Delete = 2,
  Set = 3,
  Name = 4,
  Trace = 5,
  Reg = 6,
  // The commands beyond the six, each with a screen of its own; the general
  // screen lists them after the six.
  Add = 7,
  Remove = 8,
  Check = 9,
  Export = 10,
  Change = 11,
  Apply = 12,
  Show = 13,
};

// Prints the banner and the screen, then ends the process: status -1 for an
// argument error, 0 for a help request.
[[noreturn]] void printUsageAndExit(UsageScreen screen, bool isError);

}  // namespace dsnconf
