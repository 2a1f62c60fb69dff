// What each place holds under a data source's name, looked at before a
// command changes anything: a data source of the family, one of another
// driver, or a key that no list names. Commands act only on the family's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/places.h"
#include "dsn/reg_read.h"

namespace dsnconf {

enum class Standing { Absent, Family, OtherDriver, Unlisted };

struct Holding {
  const Place* place = nullptr;
  Standing standing = Standing::Absent;
  bool hasKey = false;
  std::optional<RegistryValue> entry;  // its list entry, if any
};

LSTATUS lookUp(const Place& place, const std::string& name, Holding& holding);

// Looks in every place of the choice and keeps those that hold the name;
// false after a line has said what could not be read, or that none holds it,
// or that one holds it but not as a data source of the family (`nothing`
// ends that line: "nothing was removed").
bool lookUpFamilyDataSource(const PlaceChoice& choice, const std::string& name, const char* nothing,
                            std::vector<Holding>& holdings);

}  // namespace dsnconf
