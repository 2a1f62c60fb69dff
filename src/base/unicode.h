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

// Appends one code point as UTF-16: a pair beyond U+FFFF.
void appendUtf16(std::u16string& out, char32_t c);

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

// WTF-8: UTF-16 of any kind in an 8-bit string, without loss. Well-formed
// UTF-16 is UTF-8; a surrogate without its pair takes the three bytes UTF-8
// would give it. This is how the commands beyond the first six hold names and
// text of the registry, which Windows keeps as UTF-16 code units.
std::string utf16ToWtf8(std::u16string_view units);
// Decodes the sequence at `pos` as decodeUtf8 does, and a surrogate's three
// bytes as well.
std::size_t decodeWtf8(std::string_view text, std::size_t pos, char32_t& c);
// Each byte that is neither UTF-8 nor a WTF-8 surrogate becomes U+FFFD.
std::u16string wtf8ToUtf16(std::string_view text);

// Whether UTF-16 text is well-formed: every surrogate in a pair.
bool isWellFormedUtf16(std::u16string_view units);

// UTF-16LE bytes and code units; an odd last byte is dropped.
std::string utf16LeBytes(std::u16string_view units);
std::u16string utf16LeUnits(std::string_view bytes);

}  // namespace dsnconf
