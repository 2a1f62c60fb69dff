// Text handling of the Wine backend: the ANSI code page Wine gives the
// program, and the .reg text that the case host exports and the cases hold.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "case_file.h"

namespace dsnconf::e2e::wine {

// Wine reads its command line and environment as UTF-8 and hands the program
// their ANSI form (code page 1252): this is the UTF-8 text whose ANSI form is
// `bytes`.
std::string ansiBytesAsUtf8(const std::string& bytes);

// A .reg file that reg.exe reads as Unicode, holding the ANSI text `bytes`.
std::string ansiBytesAsUtf16File(const std::string& bytes);

// The same holding the Unicode text `text` (UTF-8).
std::string utf8AsUtf16File(const std::string& text);

std::string withoutCarriageReturns(const std::string& text);

// The trees of a root that the program works on; every case starts with them
// empty. HKLM's 32-bit view is its WOW6432Node subtree in the 64-bit view.
std::vector<std::string> odbcTrees(Root root);

// Whether `key` is `tree` or lies beneath it, case aside.
bool isUnder(const std::string& key, const std::string& tree);

// The key paths that .reg lines name, as written; deletions left out.
std::vector<std::string> keyHeaders(const std::string& lines);

// One value of a .reg section: its first line and any continuation lines.
struct RegValue {
  std::string name;  // lower-cased, "@" for the default value
  std::string lines;
};

struct RegBlock {
  std::string key;
  std::vector<RegValue> values;
};

std::vector<RegBlock> regBlocks(const std::string& text);

// What follows the name and its '=' in a value's lines.
std::string valueData(const std::string& lines);

// Whether `lines` hold a string value given as raw bytes, hex(1): our POSIX
// registry keeps those bytes as they are, where Wine's holds UTF-16 and ends
// every string written through the ANSI functions with a zero. With
// `unterminatedOnly`, only values whose bytes do not end with a zero count:
// the others read the same on both.
bool hasRawStringValue(const std::string& lines, bool unterminatedOnly);

// What the case says of each key: how it spells it, whether it names it (so
// that it counts even without values), and the order of its values. Wine's
// registry creates every parent of a key it imports, keeps the case's spelling
// of neither "Software" nor "Wow6432Node", and enumerates values by name
// rather than in the order of their creation.
class CaseKeys {
 public:
  // Later texts take precedence for the order of values: the expected state
  // is added after the seeded one.
  void add(const std::string& lines);
  bool names(const std::string& key) const;
  // `key` with each leading part spelt as the case spells it.
  std::string respell(const std::string& key) const;
  // The values in the case's order, those it does not name after them.
  void reorder(const std::string& key, std::vector<RegValue>& values) const;

 private:
  std::map<std::string, std::vector<std::string>> valueOrder_;
  std::map<std::string, std::string> spelling_;
};

}  // namespace dsnconf::e2e::wine
