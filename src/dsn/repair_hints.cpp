#include "dsn/repair_hints.h"

#include "base/shell_quoting.h"
#include "dsn/family.h"
#include "dsn/odbc_ini.h"
#include "dsn/target.h"
#include "platform/wide_registry.h"

namespace dsnconf {
namespace {

// The characters the installer refuses in a data source's name: a hint that
// names such a data source would be refused before it repaired anything.
constexpr const char* kInvalidDsnCharacters = "[]{}(),;?*=!@\\";

}  // namespace

bool isHintableName(const std::string& name) {
  // A name the installer refuses, one that would read as a view word after
  // the scope, or one that cannot be quoted on a command line.
  return !name.empty() && name.size() <= kMaxTargetName &&
         name.find_first_of(kInvalidDsnCharacters) == std::string::npos &&
         name.find('"') == std::string::npos && name != "/64" && name != "/32" &&
         !isOdbcIniSpecialKey(name);
}

bool reachedByDsnTarget(const Inventory& inventory, const PlaceInventory& place,
                        const std::string& name) {
  // set and name read their command line as ANSI text.
  if (!isHintableName(name) || !ansiCarries(name)) return false;
  for (const PlaceInventory& earlier : inventory.places) {
    if (&earlier == &place) return true;
    if (holdsName(earlier, name)) return false;
  }
  return false;
}

std::vector<std::string> placeWords(const Place& place) {
  if (place.scope == Scope::User) return {"/user"};
  return {"/system", place.view == MachineView::Bit64 ? "/64" : "/32"};
}

std::optional<std::string> registerHint(const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver) {
  if (!isEarlierDriver(driver) || !registeredInAny(views, kDriverNames[GEN3])) return std::nullopt;
  return dsnconfLine({"reg", "/add", versionWord(driver)});
}

std::optional<std::string> dsnconfLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {"dsnconf"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return shellCommandLine(words);
}

}  // namespace dsnconf
