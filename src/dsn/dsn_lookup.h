// What each place holds under a data source's name, looked at before a
// command changes anything: a data source of the family, one of another
// driver, or a key that no list names. Commands act only on the family's.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/family.h"
#include "dsn/places.h"
#include "dsn/reg_read.h"

namespace dsnconf {

enum class Standing { Absent, Family, OtherDriver, Unlisted };

struct Holding {
  const Place* place = nullptr;
  Standing standing = Standing::Absent;
  bool hasKey = false;
  std::optional<RegistryValue> entry;  // its list entry, if any
  // A key no list names whose Driver value is the file a family driver is
  // registered with (what a killed add leaves behind): that driver, and the
  // view it is registered in with that file (the place's own view first).
  std::optional<DriverVersion> keyDriver;
  const Place* keyDriverView = nullptr;
};

LSTATUS lookUp(const Place& place, const std::string& name, Holding& holding);

// Whether a data source of `place` uses the registrations of `view`: a
// machine view its own, the user's tree either.
bool usesView(const Place& place, const Place& view);

// Looks in every place of the choice and keeps those that hold the name;
// false after a line has said what could not be read, or that none holds it,
// or that one holds it but not as a data source of the family (`nothing`
// ends that line: "nothing was removed"). A key no list names counts as the
// family's where its Driver is a family driver's file, with
// `UnlistedKeys::OfTheFamily`: remove takes it away.
enum class UnlistedKeys { Refused, OfTheFamily };
bool lookUpFamilyDataSource(const PlaceChoice& choice, const std::string& name, const char* nothing,
                            std::vector<Holding>& holdings,
                            UnlistedKeys unlisted = UnlistedKeys::Refused);

}  // namespace dsnconf
