// Conversions between UTF-8, UTF-16 and the UTF-16LE bytes the registry keeps
// string data in. Pure text: every layer may use them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace dsnconf {

// Appends one code point as UTF-8; one that UTF-8 cannot carry (a surrogate,
// a value past U+10FFFF) as U+FFFD.
void appendUtf8(std::string& out, char32_t c);

// Decodes the UTF-8 sequence at `pos`: its length, or 0 where it is not
// well-formed (overlong forms and surrogates included), `c` then undefined.
std::size_t decodeUtf8(std::string_view text, std::size_t pos, char32_t& c);

// UTF-16 as UTF-8: a pair becomes its code point, a surrogate without its
// pair U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

// String data as the registry keeps it, UTF-16LE, as UTF-8: a code unit of
// zero (a terminator) becomes one zero byte, a surrogate without its pair
// U+FFFD, and an odd last byte is dropped, as the ANSI registry calls drop it.
std::string utf8FromUtf16Le(std::string_view bytes);

// UTF-8 as UTF-16; each byte that does not start a well-formed sequence
// becomes U+FFFD.
std::u16string utf8ToUtf16(std::string_view text);

}  // namespace dsnconf
