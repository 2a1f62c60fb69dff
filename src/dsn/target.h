// What the commands of one data source name: a registry data source (/dsn),
// a file data source (/fdsn) or every data source of the family (/all), and
// the installer's check of such a name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace dsnconf {

enum class DsnKind : std::int32_t { Registry = 0, File = 1, All = 2 };

// The longest data-source name or file path a target holds.
constexpr std::size_t kMaxTargetName = 260;

struct DsnTarget {
  char name[kMaxTargetName + 1] = {};
  DsnKind kind = DsnKind::Registry;
};

// Asks the ODBC installer whether a Registry or File target may be used. On
// false one line has been printed.
bool validateDsnTarget(const DsnTarget& target);

// The same question for a file, without a line: whether the installer reads
// its SYSTEM key, which is what makes /fdsn take it.
bool isReadableFileDsn(const char* path);

// The same question for the name of a data source that a later command
// creates or changes (WTF-8), asked through the installer's wide call.
bool validateDsnName(const std::string& name);

}  // namespace dsnconf
