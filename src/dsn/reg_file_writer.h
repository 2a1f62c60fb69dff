// The family's data sources as a registry file in the form regedit writes
// and `reg import` reads (export /reg): UTF-16LE with a byte-order mark,
// CRLF line ends, every value with its own type. The file is made as the walk
// goes: a place's list key when its list is read, each data source's key as
// it is read.
#pragma once

#include <string>

#include "dsn/inventory.h"

namespace dsnconf {

// One value line, "name"=data, with its line end; hex data wrapped as
// regedit wraps it.
std::u16string regValueLines(const RegistryValue& value);

// The file's text, made piece by piece: the header, then for each place with
// data sources of the family its list key with their entries and each data
// source's key with every value and subkey. `twoMachineViews` puts the
// 32-bit view under WOW6432Node.
class RegFileWriter {
 public:
  explicit RegFileWriter(bool twoMachineViews);

  // The place's list key with its family entries, once its list is read.
  void addList(const PlaceInventory& place);
  // The data source's key, values and subkeys.
  void addDataSource(const Place& place, const FamilyDataSource& dataSource);
  // The file's last line end.
  void finish();

  // The text made since it was last taken: a caller may write it out and
  // clear it between pieces.
  std::u16string& text() { return text_; }

 private:
  bool twoMachineViews_;
  std::u16string text_;
};

// The whole file's text for an inventory held in memory.
std::u16string regFileText(const Inventory& inventory, bool twoMachineViews);

// The text as the file's bytes: a byte-order mark, then UTF-16LE.
std::string utf16LeFileBytes(const std::u16string& text);

}  // namespace dsnconf
