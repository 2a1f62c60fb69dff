// Making and unmaking keys in one place: the keys a creation made (so that a
// failed run can take them back) and the deletion of a key with everything
// below it.
#pragma once

#include <string>
#include <vector>

#include "dsn/places.h"
#include "win32.h"

namespace dsnconf {

// Deletes `subKey` of `parent` with every key below it, deepest first, in the
// view `view` (0 for the user's tree).
LSTATUS deleteKeyTree(HKEY parent, const std::string& subKey, REGSAM view);

// The keys one run created in one place, in the order it created them, so
// that they can be deleted again, last first.
class CreatedKeys {
 public:
  explicit CreatedKeys(const Place& place) : place_(&place) {}

  // Creates `path` one level at a time, noting each key that did not exist.
  // `created` tells whether the last level is new.
  LSTATUS create(const std::string& path, bool& created);
  // Deletes the keys create made, last first. The caller has deleted the
  // values it wrote to keys that existed before.
  LSTATUS undo();

 private:
  const Place* place_;
  std::vector<std::string> paths_;
};

}  // namespace dsnconf
