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

}  // namespace dsnconf::posix
