// What writing an exported document needs from the platform: the text of the
// ANSI registry calls as UTF-16, standard output that passes bytes unchanged,
// and moving a finished file into place.
#pragma once

#include <string>

namespace dsnconf {

// Text as the ANSI registry calls hand it over (the ANSI code page on
// Windows, UTF-8 on POSIX) as UTF-16 code units, zero bytes included. What
// the code page cannot carry becomes U+FFFD.
std::u16string codePageToUtf16(const std::string& text);

// Standard output without any translation of line ends, for documents whose
// bytes are fixed (UTF-16 with CRLF).
void useBinaryStandardOutput();

enum class PlaceFileResult { Placed, TargetExists, Failed };

// Renames the finished file `temporary` to `target` in one step. Without
// `replace`, an existing target is left alone and TargetExists returned; the
// temporary file stays where it is unless Placed.
PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace);

}  // namespace dsnconf
