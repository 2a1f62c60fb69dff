// Conversions between the wide strings of the Win32 API and the UTF-8 text of
// file names and terminals on POSIX systems, where wchar_t holds a code point.
#pragma once

#include <string>

#include "base/unicode.h"

namespace dsnconf {

// Code points that UTF-8 cannot carry (surrogates, values past U+10FFFF) become U+FFFD.
std::string toUtf8(const std::wstring& text);

// Each byte that does not start a well-formed UTF-8 sequence becomes U+FFFD.
std::wstring fromUtf8(const std::string& text);

}  // namespace dsnconf
