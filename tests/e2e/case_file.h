// End-to-end cases as data: the command line, the registry and files it starts
// from, and the output, exit status, registry and files expected afterwards.
//
// A .case file is read line by line. Lines starting with '#' outside a block
// are comments. Directives before the first "case:" line apply to every case
// of the file.
//
//   case: <title>            starts a case
//   env NAME=VALUE           set in the program's environment
//   wine: skip <reason>      the case cannot run under Wine
//   wine: unicode            under Wine the case's text is Unicode (UTF-8): its
//                            registry is seeded, its arguments passed and the
//                            registry read back as such, where otherwise its
//                            bytes are the ANSI text (code page 1252) that the
//                            first six commands see
//   hive HKLM|HKCU           .reg lines seeding that root, up to "end"
//   file <path>              a file in the work folder, up to "end"
//   run <arguments>          split like a shell: blanks separate, "..." groups,
//                            "" is an empty argument, \" and \\ inside quotes
//   stdout / stderr          the exact output, up to "end" (absent: empty)
//   status <n>               the program's 32-bit result, e.g. -1 or 1630
//
// A case may run the program several times, one after the other over the same
// registry and files: each "run" line starts a step, and the stdout, stderr
// and status lines after it are that run's. The after-directives are checked
// once, after the last run.
//   hive-after HKLM|HKCU     the root's whole content afterwards, up to "end",
//                            or "hive-after HKLM unchanged"
//   file-after <path>        a file's exact content afterwards, up to "end",
//                            or "unchanged" or "absent" after the path;
//                            "utf16" after the path: the block is the text of
//                            a UTF-16LE file with a BOM and CRLF line ends
//
// Roots and files that no after-directive names must be left unchanged. A case
// that sets DSNCONF_REGISTRY has its hives seeded and read there.
// "{DIR}" in arguments and expected texts stands for the work folder.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace dsnconf::e2e {

enum class Root { LocalMachine, CurrentUser };

const char* rootFileName(Root root);  // HKEY_LOCAL_MACHINE / HKEY_CURRENT_USER

// What a file or hive should hold afterwards.
struct Expected {
  enum class Kind { Unchanged, Content, Absent } kind = Kind::Unchanged;
  std::string content;
  bool utf16 = false;  // content is the text of a UTF-16LE file with CRLF
};

// One run of the program and what it must print and return.
struct Step {
  std::vector<std::string> args;
  std::string expectedStdout;
  std::optional<std::string> expectedStderr;
  long long expectedStatus = 0;
};

struct Case {
  std::string source;  // file:line, for messages
  std::string title;
  std::vector<std::pair<std::string, std::string>> env;
  std::string wineSkip;
  bool wineUnicode = false;
  std::map<Root, std::string> hives;
  std::map<std::string, std::string> files;
  std::vector<Step> steps;
  std::map<Root, Expected> hivesAfter;
  std::map<std::string, Expected> filesAfter;
};

// Parses one .case file; throws std::runtime_error naming the line on a
// malformed file.
std::vector<Case> parseCaseFile(const std::string& path);

// Splits a run line into arguments.
std::vector<std::string> splitArguments(const std::string& line);

std::string replaceAll(std::string text, const std::string& from, const std::string& to);

}  // namespace dsnconf::e2e
