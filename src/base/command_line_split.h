// How a Windows program's runtime splits its command line into arguments:
// blanks and tabs separate them outside double quotes; 2n backslashes before
// a quote are n backslashes and the quote opens or closes a quoted part,
// 2n+1 are n backslashes and a literal quote; inside a quoted part "" is a
// literal quote; other backslashes are themselves. The program's name, the
// first argument, runs to the first blank outside quotes, without escapes.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace dsnconf {

std::vector<std::u16string> splitCommandLine(std::u16string_view line);

}  // namespace dsnconf
