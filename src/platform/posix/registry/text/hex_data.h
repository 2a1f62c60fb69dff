// The data of value lines other than "..." strings: dword: and the hex lists
// of hex: and hex(N):, which may continue over several lines.
#pragma once

#include <string>
#include <string_view>

#include "registry/text/line_cursor.h"
#include "win32.h"

namespace dsnconf::posix {

// The digits after dword:, as the four bytes of a REG_DWORD.
bool readDwordData(const Line& line, std::string_view digits, DWORD& type, std::string& data,
                   std::string& error);

// Comma-separated bytes of two hex digits (one is accepted), a trailing
// backslash continuing the list on the next line, which `cursor` gives.
bool readHexList(const Line& first, std::string_view part, LineCursor& cursor, std::string& data,
                 std::string& error);

// hex(N): data, N the value's type in hex. With `wideStringData` the data of
// the string types is UTF-16LE and is converted to UTF-8.
bool readTypedHexData(const Line& line, std::string_view rest, LineCursor& cursor,
                      bool wideStringData, DWORD& type, std::string& data, std::string& error);

}  // namespace dsnconf::posix
