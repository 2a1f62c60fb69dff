// The encodings a hive file comes in: 8-bit text, with or without a UTF-8
// byte-order mark, or UTF-16 with a byte-order mark as regedit exports it.
#pragma once

#include <cstddef>
#include <string>

namespace dsnconf::posix {

enum class RegTextEncoding { Bytes, Utf16 };

struct DecodedRegText {
  RegTextEncoding encoding = RegTextEncoding::Bytes;
  // 8-bit text; UTF-16 input is converted to UTF-8.
  std::string text;
  // Bytes of the file before `text` begins (a byte-order mark).
  std::size_t prefixBytes = 0;
};

// Recognises a UTF-8 BOM (skipped) and UTF-16 with a BOM (converted). The
// bytes are taken over: 8-bit text without a BOM becomes `decoded.text` as it is.
bool decodeRegFile(std::string fileBytes, DecodedRegText& decoded, std::string& error);

}  // namespace dsnconf::posix
