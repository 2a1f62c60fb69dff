// String data as the wide registry calls hold it, UTF-16LE, written in tests
// as u"..."_w (terminators given explicitly: u"db\0"_w).
#pragma once

#include <cstddef>
#include <string>

#include "base/unicode.h"

namespace dsnconf::test {

inline std::string operator""_w(const char16_t* units, std::size_t length) {
  return utf16LeBytes(std::u16string_view(units, length));
}

}  // namespace dsnconf::test
