// Whole trees as .reg text: the text a rewrite puts in place, and the one
// canonical text of what a .reg text says.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "registry/tree/reg_key.h"

namespace dsnconf::posix {

// The text of a .reg file holding these trees: the header line, then every key
// (roots only when they hold values) sorted by full path without regard to
// case, each followed by its values in enumeration order. `valueLines`, when
// given, receives where each key's value lines lie in the text.
using KeySegments = std::vector<std::pair<const RegKey*, ValueSegment>>;
std::string formatRegTrees(const std::vector<const RegKey*>& roots,
                           KeySegments* valueLines = nullptr);

// Parses .reg text in any accepted encoding, applying journal entries and
// deletions in order, and returns it in one fixed form: the header line, then
// the keys sorted by full path without regard to case, each with its values
// in enumeration order, each value written as appendValueLine writes it.
// Texts that mean the same registry state give the same canonical text.
bool canonicalRegText(const std::string& fileBytes, std::string& canonical, std::string& error);

}  // namespace dsnconf::posix
