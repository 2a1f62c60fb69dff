#include "dsn/apply_plan.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "base/output.h"
#include "dsn/driver_registration.h"
#include "dsn/odbc_ini.h"
#include "dsn/passwords.h"
#include "dsn/target.h"
#include "dsn/shown_value.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

constexpr const char* kNothingApplied = "nothing was applied";

std::string shown(const RegistryValue& value) {
  return shownData(value, PasswordData::LeftOut);
}

const RegistryValue* findValue(const std::vector<RegistryValue>& values, const std::string& name) {
  for (const RegistryValue& value : values) {
    if (sameRegistryName(value.name, name)) return &value;
  }
  return nullptr;
}

void refuse(const Place& place, const std::string& name, const std::string& why) {
  printLine("*** The " + placeDsnLabel(place, name) + " " + why + ": " + kNothingApplied + " ***");
}

// What a place holds now, by name as the registry compares names.
struct PlaceIndex {
  const PlaceInventory* place = nullptr;
  std::unordered_map<std::string, const FamilyDataSource*> family;
  std::set<std::string> taken;  // other drivers' entries and entries the walks skip
  // Keys no list names: one whose Driver is the file of the driver the file
  // asks for is what a killed run left, and is taken over.
  std::unordered_map<std::string, const UnlistedKey*> unlisted;

  explicit PlaceIndex(const PlaceInventory& inventory) : place(&inventory) {
    for (const FamilyDataSource& dataSource : inventory.dataSources) {
      family.emplace(foldRegistryName(dataSource.name), &dataSource);
    }
    for (const std::string& name : inventory.otherEntries) taken.insert(foldRegistryName(name));
    for (const UnreadableEntry& entry : inventory.unreadableEntries) {
      taken.insert(foldRegistryName(entry.name));
    }
    for (const UnlistedKey& key : inventory.unlistedKeys) {
      unlisted.emplace(foldRegistryName(key.name), &key);
    }
  }
};

// Lines and operations that bring one key's values to what the file gives.
// `lines` name the key as "<prefix><value name>".
// Driver names this machine's file of the driver, written from its
// registration, and is taken from the file only with `withDriver`: the file of
// the machine an export came from may differ.
void planValues(const Place& place, const std::string& key, const std::string& subject,
                const std::string& prefix, const std::vector<DesiredValue>& desired,
                const std::vector<RegistryValue>& current, Action& action,
                bool withDriver = false) {
  for (const DesiredValue& want : desired) {
    if (!withDriver && prefix.empty() && sameRegistryName(want.value.name, "Driver")) continue;
    const RegistryValue* now = findValue(current, want.value.name);
    const std::string name = prefix + want.value.name;
    if (want.kind == DesiredValue::Kind::Remove && now) {
      action.lines.push_back(planLine('-', place, subject, prefix + now->name));
      action.operations.push_back(opDeleteValue(place, key, now->name));
    } else if (want.kind == DesiredValue::Kind::Set &&
               !(now && now->type == want.value.type && now->data == want.value.data)) {
      const std::string detail = name + " = " + shown(want.value);
      action.lines.push_back(
          now ? planLine('~', place, subject, detail + " (was " + shown(*now) + ")")
              : planLine('+', place, subject, detail));
      action.operations.push_back(opSetValue(place, key, want.value));
    }
  }
}

class Planner {
 public:
  Planner(const Inventory& current, ApplyPlan& result) : result_(result) {
    for (const PlaceInventory& place : current.places) indexes_.emplace(place.place, place);
  }

  // Drivers the file lists as registered must be registered here too.
  bool checkDrivers(const std::vector<DesiredDriver>& drivers) {
    for (const DesiredDriver& driver : drivers) {
      const auto index = indexes_.find(driver.place);
      if (index == indexes_.end() ||
          isRegistered(*index->second.place, kDriverNames[driver.driver])) {
        continue;
      }
      printLine(std::string("*** '") + kDriverNames[driver.driver] + "' is not registered for " +
                viewBits(*driver.place) +
                "-bit applications, as the file requires: " + kNothingApplied + " ***");
      return false;
    }
    return true;
  }

  bool planDataSource(const DesiredDataSource& desired, const Place& place) {
    const std::string folded = foldRegistryName(desired.name);
    if (!planned_.insert({&place, folded}).second) {
      refuse(place, desired.name, "is named twice in the file");
      return false;
    }
    if (!validateDsnName(desired.name)) return false;
    if (isOdbcIniSpecialKey(desired.name)) {
      refuse(place, desired.name, "is no data source: ODBC.INI keeps its own settings there");
      return false;
    }
    const PlaceIndex& index = indexes_.at(&place);
    if (index.taken.count(folded) != 0) {
      refuse(place, desired.name, "exists, but not as a data source of an Ivorel driver");
      return false;
    }
    const auto unlisted = index.unlisted.find(folded);
    if (unlisted != index.unlisted.end()) return planTakeOver(desired, place, *unlisted->second);
    const auto found = index.family.find(folded);
    const FamilyDataSource* now = found == index.family.end() ? nullptr : found->second;
    return now && now->hasKey ? planChange(desired, place, *now)
                              : planCreation(desired, place, now, false);
  }

  void planPrune(const Place& place) {
    const PlaceIndex& index = indexes_.at(&place);
    for (const FamilyDataSource& dataSource : index.place->dataSources) {
      if (planned_.count({&place, foldRegistryName(dataSource.name)}) != 0) continue;
      Action action;
      action.place = &place;
      action.dsn = dataSource.name;
      action.lines.push_back(planLine('-', place, "DSN " + dataSource.name));
      action.operations.push_back(opDeleteValue(place, kDataSourceListPath, dataSource.name));
      if (dataSource.hasKey) {
        action.operations.push_back(opDeleteKeyTree(place, dsnKeyPath(dataSource.name)));
      }
      keep(place, dataSource);
      result_.plan.actions.push_back(std::move(action));
    }
  }

  void planTracing(const DesiredTracing& desired) {
    const Place& place = *desired.place;
    const TraceSettings& now = indexes_.at(&place).place->tracing;
    const std::string key = std::string(kOdbcIniPath) + "\\" + kTraceKeyName;
    Action action;
    action.place = &place;
    std::vector<RegistryValue> current;
    if (now.trace) current.push_back(*now.trace);
    if (now.traceFile) current.push_back(*now.traceFile);
    std::vector<DesiredValue> values;
    for (const auto* value : {&desired.trace, &desired.traceFile}) {
      if (*value) values.push_back({DesiredValue::Kind::Set, **value});
    }
    planValues(place, key, "tracing", "", values, current, action);
    if (action.operations.empty()) return;
    action.operations.insert(action.operations.begin(), opCreateKey(place, key));
    result_.plan.actions.push_back(std::move(action));
  }

 private:
  // The registration a new data source, or one whose driver changes, uses.
  bool registration(const Place& place, const DesiredDataSource& desired, UsedRegistration& used) {
    const auto key = std::make_pair(&place, static_cast<int>(desired.driver));
    const auto cached = registrations_.find(key);
    if (cached != registrations_.end()) {
      used = cached->second;
      return true;
    }
    if (!chooseRegistration(place, MachineView::None, desired.driver, desired.name, used)) {
      return false;
    }
    registrations_.emplace(key, used);
    return true;
  }

  // A key no list names becomes the data source where its Driver is the
  // file the driver is registered with, or where it has none yet (a run
  // killed before it wrote one): written as a new one is, over it.
  bool planTakeOver(const DesiredDataSource& desired, const Place& place, const UnlistedKey& key) {
    UsedRegistration used;
    if (!registration(place, desired, used)) return false;
    if (key.driverFile && !sameRegistryName(*key.driverFile, used.file)) {
      refuse(place, desired.name, "exists as a key that no list names, not of this driver");
      return false;
    }
    return planCreation(desired, place, nullptr, true);
  }

  // Creates the key (over a list entry whose key is gone, if there is one;
  // or with `keyExists` over a key no list names), then lists it last.
  bool planCreation(const DesiredDataSource& desired, const Place& place,
                    const FamilyDataSource* listed, bool keyExists) {
    UsedRegistration used;
    if (!registration(place, desired, used)) return false;
    const std::string subject = "DSN " + desired.name;
    const std::string key = dsnKeyPath(desired.name);
    const char* driver = kDriverNames[desired.driver];
    Action action;
    action.place = &place;
    action.dsn = desired.name;
    action.lines.push_back(planLine('+', place, subject, std::string("driver '") + driver + "'"));
    action.operations.push_back(keyExists ? opCreateKey(place, key) : opCreateNewKey(place, key));
    // Driver where the file has it (an export then reads back in its order),
    // else first.
    std::vector<DesiredValue> values = desired.properties;
    auto driverAt = std::find_if(values.begin(), values.end(), [](const DesiredValue& value) {
      return sameRegistryName(value.value.name, "Driver");
    });
    if (driverAt == values.end()) driverAt = values.insert(values.begin(), DesiredValue{});
    *driverAt = {DesiredValue::Kind::Set, {"Driver", REG_SZ, stringData(used.file)}};
    planValues(place, key, subject, "", values, {}, action, true);
    planSubkeys(desired, place, nullptr, action);
    action.operations.push_back(opCreateKey(place, kDataSourceListPath));
    if (!listed || listed->driver != driver) {
      action.operations.push_back(
          opSetValue(place, kDataSourceListPath, {desired.name, REG_SZ, stringData(driver)}));
    }
    if (listed) keep(place, *listed);
    result_.plan.actions.push_back(std::move(action));
    return true;
  }

  bool planChange(const DesiredDataSource& desired, const Place& place,
                  const FamilyDataSource& now) {
    const std::string subject = "DSN " + desired.name;
    const std::string key = dsnKeyPath(now.name);
    const char* driver = kDriverNames[desired.driver];
    Action action;
    action.place = &place;
    action.dsn = desired.name;
    if (now.driver != driver) {
      UsedRegistration used;
      if (!registration(place, desired, used)) return false;
      action.lines.push_back(planLine(
          '~', place, subject, std::string("driver '") + driver + "' (was '" + now.driver + "')"));
      action.operations.push_back(
          opSetValue(place, key, {"Driver", REG_SZ, stringData(used.file)}));
      action.operations.push_back(
          opSetValue(place, kDataSourceListPath, {now.name, REG_SZ, stringData(driver)}));
    }
    planValues(place, key, subject, "", desired.properties, now.properties, action);
    planSubkeys(desired, place, &now, action);
    if (action.operations.empty()) return true;
    keep(place, now);
    result_.plan.actions.push_back(std::move(action));
    return true;
  }

  void planSubkeys(const DesiredDataSource& desired, const Place& place,
                   const FamilyDataSource* now, Action& action) {
    const std::string subject = "DSN " + desired.name;
    for (const DesiredSubkey& subkey : desired.subkeys) {
      const Subkey* existing = nullptr;
      for (std::size_t i = 0; now && i < now->subkeys.size(); ++i) {
        if (sameRegistryName(now->subkeys[i].path, subkey.path)) existing = &now->subkeys[i];
      }
      const std::string key = dsnKeyPath(desired.name) + "\\" + subkey.path;
      if (!existing) {
        action.lines.push_back(planLine('+', place, subject, "key " + subkey.path));
        action.operations.push_back(opCreateKey(place, key));
      }
      planValues(place, key, subject, subkey.path + "\\", subkey.values,
                 existing ? existing->values : std::vector<RegistryValue>{}, action);
    }
  }

  // Keeps the data source as it is now, for the backup.
  void keep(const Place& place, const FamilyDataSource& dataSource) {
    for (PlaceInventory& touched : result_.touched.places) {
      if (touched.place != &place) continue;
      touched.dataSources.push_back(dataSource);
      return;
    }
    PlaceInventory touched;
    touched.place = &place;
    touched.dataSources.push_back(dataSource);
    result_.touched.places.push_back(std::move(touched));
  }

  ApplyPlan& result_;
  std::map<const Place*, PlaceIndex> indexes_;
  std::set<std::pair<const Place*, std::string>> planned_;
  std::map<std::pair<const Place*, int>, UsedRegistration> registrations_;
};

}  // namespace

bool planApply(const DesiredState& desired, const Inventory& current, bool prune,
               ApplyPlan& result) {
  result = ApplyPlan{};
  Planner planner(current, result);
  if (!planner.checkDrivers(desired.drivers)) return false;
  std::set<const Place*> named;
  for (const DesiredDataSource& dataSource : desired.dataSources) {
    for (const Place* place : dataSource.places) {
      if (!planner.planDataSource(dataSource, *place)) return false;
      named.insert(place);
    }
  }
  for (const DesiredTracing& tracing : desired.tracing) named.insert(tracing.place);
  if (prune) {
    // In walk order, whatever order the file names its places in.
    for (const PlaceInventory& place : current.places) {
      if (named.count(place.place) != 0) planner.planPrune(*place.place);
    }
  }
  for (const DesiredTracing& tracing : desired.tracing) planner.planTracing(tracing);
  return true;
}

}  // namespace dsnconf
