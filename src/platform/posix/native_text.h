// The text of this platform's interfaces (registry names and string data,
// file names, the command line, the terminal) is 8-bit, UTF-8 where it is
// text. Read as code units: UTF-8 as such, and any byte that is no UTF-8 as
// the unit U+DC00 plus the byte; so are the bytes of a surrogate written in
// UTF-8 form that would read as such a byte, or as half of a pair with the
// unit after it. Written back the same way, so that what was read is written
// back byte for byte.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf {

std::u16string unitsOfNative(std::string_view bytes);
std::string nativeBytesOfUnits(std::u16string_view units);

// The same between the platform's bytes and WTF-8 text.
std::string textOf(const std::string& bytes);
std::string nativeBytes(const std::string& text);

}  // namespace dsnconf
