// Conversions between the wide strings of the Win32 API and the UTF-8 text of
// file names and terminals on POSIX systems, where wchar_t holds a code point.
#pragma once

#include <string>
#include <string_view>

namespace dsnconf {

// Appends one code point as UTF-8; one that UTF-8 cannot carry (a surrogate,
// a value past U+10FFFF) as U+FFFD.
void appendUtf8(std::string& out, char32_t c);

// Code points that UTF-8 cannot carry (surrogates, values past U+10FFFF) become U+FFFD.
std::string toUtf8(const std::wstring& text);

// String data as the registry keeps it, UTF-16LE, as UTF-8: a code unit of
// zero (a terminator) becomes one zero byte, a surrogate without its pair
// U+FFFD, and an odd last byte is dropped, as the ANSI registry calls drop it.
std::string utf8FromUtf16Le(std::string_view bytes);

// Each byte that does not start a well-formed UTF-8 sequence becomes U+FFFD.
std::wstring fromUtf8(const std::string& text);

}  // namespace dsnconf
