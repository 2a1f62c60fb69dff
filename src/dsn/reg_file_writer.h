// The family's data sources as a registry file in the form regedit writes
// and `reg import` reads (export /reg): UTF-16LE with a byte-order mark,
// CRLF line ends, every value with its own type.
#pragma once

#include <string>

#include "dsn/inventory.h"

namespace dsnconf {

// One value line, "name"=data, with its line end; hex data wrapped as
// regedit wraps it.
std::u16string regValueLines(const RegistryValue& value);

// The whole file as text: the header, then for each place with data sources
// of the family its list key with their entries and each data source's key
// with every value. `twoMachineViews` puts the 32-bit view under WOW6432Node.
std::u16string regFileText(const Inventory& inventory, bool twoMachineViews);

// The text as the file's bytes: a byte-order mark, then UTF-16LE.
std::string utf16LeFileBytes(const std::u16string& text);

}  // namespace dsnconf
