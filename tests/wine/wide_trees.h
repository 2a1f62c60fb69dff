// The ODBC trees read through the wide calls, which hand out names and string
// data as Windows keeps them (UTF-16), where the ANSI calls put '?' for what
// the code page lacks: the text of names beyond it, surrogates without their
// pair and string data of odd length come out exactly.
#pragma once

#include <string>

namespace case_host {

// Every key of the three trees and every value: names, type and data in hex
// (names as UTF-16LE, data byte for byte), one line each, in the order the
// registry lists them, so that two dumps compare with cmp. Each line ends in
// a comment with the name as UTF-8, for a reader of a difference.
bool dumpTrees(std::string& out);

// The trees as .reg text in UTF-8, as our POSIX registry would hold the same
// data: names and strings as UTF-8, a surrogate without its pair as U+FFFD,
// the string types' hex data as UTF-8 bytes.
bool exportTreesAsUtf8(std::string& machine, std::string& user);

}  // namespace case_host
