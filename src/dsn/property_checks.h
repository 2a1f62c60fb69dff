// What check judges in the values of one data source's key: a password kept
// as clear text, a string too long for the first commands' buffers, and how
// two copies of a data source differ. The rules about listed data sources
// ask these, and so does the one that decides whether listing a key that no
// list names would make a data source with nothing to report.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "dsn/reg_read.h"

namespace dsnconf {

// The password properties (dsn/passwords.h) holding any data but zeros, as
// the key names them, in registry order.
std::vector<std::string> storedPasswords(const std::vector<RegistryValue>& values);

// A string value's length as the first commands read it: its bytes in the
// ANSI code page, terminators included.
std::size_t ansiDataLength(const RegistryValue& value);

// Whether view and set read the value whole: not a string, or one that fits
// their 1024-byte buffer with its terminator.
bool fitsValueBuffer(const RegistryValue& value);

// A property in which one copy of a data source differs from another, the
// Driver value aside (each machine view has its driver's own file): the
// value of the copy to be matched and of the copy that differs, either null
// where that copy lacks the property.
struct PropertyDifference {
  const RegistryValue* wanted = nullptr;
  const RegistryValue* current = nullptr;

  const std::string& name() const { return wanted ? wanted->name : current->name; }
};

// The differences, the wanted copy's properties first in its order, then
// those only the current copy has, in its order. Names compare as the
// registry compares them; values by type and exact bytes.
std::vector<PropertyDifference> propertyDifferences(const std::vector<RegistryValue>& wanted,
                                                    const std::vector<RegistryValue>& current);

// What a key's values, the Driver value aside, hash to, whatever their order:
// two copies that propertyDifferences finds no difference in have the same
// digest, so a walk over tens of thousands of data sources compares copies
// without keeping their values.
struct PropertiesDigest {
  std::uint64_t sum = 0;
  std::size_t count = 0;

  bool operator==(const PropertiesDigest& other) const {
    return sum == other.sum && count == other.count;
  }
  bool operator!=(const PropertiesDigest& other) const { return !(*this == other); }
};
PropertiesDigest digestOf(const std::vector<RegistryValue>& values);

}  // namespace dsnconf
