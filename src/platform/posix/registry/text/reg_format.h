// The .reg text format of the hive files, which this folder reads in the
// encodings regedit writes, and writes.
//
// A hive file is a regedit export ("Windows Registry Editor Version 5.00" or
// "REGEDIT4", sections "[HKEY_...\Key]", "[-HKEY_...\Key]" to delete a key,
// value lines "Name"=..., @=..., "Name"=- to delete a value). Changes are
// appended as journal entries: a line "; dsnconf journal begin", the sections
// and value lines of one change, and a line "; dsnconf journal end XXXXXXXX"
// whose eight hex digits are the CRC-32 of the entry's lines (each ended by
// one LF). An entry counts only once its end line is complete and its CRC
// matches; an unfinished entry at the end of the file is the trace of an
// interrupted write and is ignored. Both marker lines are comments to any
// other reader, so the file stays ordinary .reg text.
#pragma once

#include <string_view>

namespace dsnconf::posix {

constexpr std::string_view kRegHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRegHeader4 = "REGEDIT4";
constexpr std::string_view kJournalBegin = "; dsnconf journal begin";
constexpr std::string_view kJournalEnd = "; dsnconf journal end ";

// What the character after a backslash in a "..." string stands for, or -1
// where the backslash is itself. Windows' regedit escapes only \\ and \";
// Wine's regedit and reg.exe also write a line break inside a string as \r
// and \n, and Wine's readers took \0 as a zero (Wine 8 refuses the line).
// Our writer has always escaped every backslash, so a file it wrote holds
// these three only where it escaped a value name's line breaks or zeros.
inline int quotedEscape(char next) {
  switch (next) {
    case '\\':
    case '"':
      return next;
    case 'r':
      return '\r';
    case 'n':
      return '\n';
    case '0':
      return '\0';
    default:
      return -1;
  }
}

}  // namespace dsnconf::posix
