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

// The longest line cmd.exe reads, in characters; a line of as many bytes of
// WTF-8 holds no more.
constexpr std::size_t kLongestCommandLine = 8191;

// The words quoted for both shells, where each has a form and the line fits.
std::optional<std::string> shellLine(const std::vector<std::string>& words) {
  std::optional<std::string> line = shellCommandLine(words);
  if (line && line->size() > kLongestCommandLine) return std::nullopt;
  return line;
}

}  // namespace

bool isHintableName(const std::string& name) {
  // A name the installer refuses, one that would read as a view word after
  // the scope, or one that cannot be quoted on a command line.
  return !name.empty() && name.size() <= kMaxTargetName &&
         name.find_first_of(kInvalidDsnCharacters) == std::string::npos &&
         name.find('"') == std::string::npos && name != "/64" && name != "/32" &&
         !isOdbcIniSpecialKey(name);
}

bool isHintableProperty(const std::string& name) {
  // change reads /remove and /whatif among the properties; any word with a
  // leading slash is kept out of a hint rather than risk either.
  return !name.empty() && name.find('=') == std::string::npos && name.front() != '/';
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

std::optional<std::string> registerHint(const Survey& survey,
                                        const std::vector<const PlaceInventory*>& views,
                                        const std::string& driver) {
  if (!isEarlierDriver(driver) || !survey.regAddKeepsDriverFiles(driver)) return std::nullopt;
  for (const PlaceInventory* view : views) {
    if (view->hasDriverList && isRegistered(*view, kDriverNames[GEN3])) {
      return dsnconfLine({"reg", "/add", versionWord(driver)});
    }
  }
  return std::nullopt;
}

std::optional<std::string> driverListHint(const Survey& survey, const PlaceInventory& view,
                                          const std::string& driver) {
  std::vector<std::string> words = {"reg",    "add",  std::string("HKLM\\") + kDriverListPath,
                                    "/v",     driver, "/t",
                                    "REG_SZ", "/d",   "Installed",
                                    "/f"};
  if (!survey.hasOneMachineView()) {
    words.push_back(view.place->view == MachineView::Bit64 ? "/reg:64" : "/reg:32");
  }
  return shellLine(words);
}

std::optional<std::string> changeHint(const std::vector<std::string>& placeWords,
                                      const std::string& name,
                                      const std::vector<std::string>& settings,
                                      const std::vector<std::string>& removals) {
  std::vector<std::string> arguments = {"change"};
  arguments.insert(arguments.end(), placeWords.begin(), placeWords.end());
  arguments.push_back(name);
  arguments.insert(arguments.end(), settings.begin(), settings.end());
  if (!removals.empty()) {
    arguments.push_back("/remove");
    arguments.insert(arguments.end(), removals.begin(), removals.end());
  }
  return dsnconfLine(arguments);
}

std::optional<std::string> dsnconfLine(const std::vector<std::string>& arguments) {
  std::vector<std::string> words = {"dsnconf"};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return shellLine(words);
}

}  // namespace dsnconf
