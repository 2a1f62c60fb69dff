#include "dsn/findings.h"

#include <unordered_set>

#include "dsn/family.h"
#include "dsn/repair_hints.h"
#include "platform/wide_registry.h"

namespace dsnconf {
namespace {

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

// "the 64-bit system view", "either system view" or "the system view".
std::string viewsText(const Inventory& inventory, const PlaceInventory& place) {
  if (place.place->scope == Scope::System) return "the " + std::string(place.place->name) + " view";
  return machineViews(inventory).size() > 1 ? "either system view" : "the system view";
}

// The names of a place's family data sources, case folded.
std::unordered_set<std::string> foldedNames(const PlaceInventory& place) {
  std::unordered_set<std::string> names;
  for (const FamilyDataSource& dataSource : place.dataSources)
    names.insert(foldRegistryName(dataSource.name));
  return names;
}

Finding dataSourceFinding(const char* id, Severity severity, const PlaceInventory& place,
                          const FamilyDataSource& dataSource) {
  Finding finding;
  finding.id = id;
  finding.severity = severity;
  finding.place = place.place;
  finding.dsn = dataSource.name;
  finding.driver = dataSource.driver;
  return finding;
}

// "dsnconf <verb> <the place's words> <last>".
std::optional<std::string> placeHint(const char* verb, const Place& place,
                                     const std::string& last) {
  std::vector<std::string> arguments = {verb};
  for (std::string& word : placeWords(place)) arguments.push_back(std::move(word));
  arguments.push_back(last);
  return dsnconfLine(arguments);
}

using Findings = std::vector<Finding>;

void findListedWithoutKey(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  for (const PlaceInventory& place : inventory.places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (dataSource.hasKey) continue;
      Finding finding = dataSourceFinding("listed-without-key", Severity::Error, place, dataSource);
      finding.message = "the data-source list names it but its key ODBC.INI\\" + dataSource.name +
                        " does not exist, so no application can use it";
      // remove takes the place from its command line and, unlike view and
      // name, removes an entry whose key is gone.
      if (isHintableName(dataSource.name)) {
        finding.fix = placeHint("remove", *place.place, dataSource.name);
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findDriverNotRegistered(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  for (const PlaceInventory& place : inventory.places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(inventory, place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (registeredInAny(views, dataSource.driver)) continue;
      Finding finding =
          dataSourceFinding("driver-not-registered", Severity::Error, place, dataSource);
      finding.message = "its driver is not registered in " + viewsText(inventory, place);
      finding.fix = registerHint(views, dataSource.driver);
      findings.push_back(std::move(finding));
    }
  }
}

// The files the driver is registered with in the views, in view order.
std::vector<std::string> registeredFiles(const std::vector<const PlaceInventory*>& views,
                                         const std::string& driver) {
  std::vector<std::string> files;
  for (const PlaceInventory* view : views) {
    const DriverRegistration* registration = findRegistration(*view, driver);
    if (!registration || !registration->hasKey) continue;
    if (std::optional<std::string> file = registration->driverFile()) files.push_back(*file);
  }
  return files;
}

void findDriverFileMismatch(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  for (const PlaceInventory& place : inventory.places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(inventory, place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      const RegistryValue* driver = dataSource.property("Driver");
      if (!driver || driver->type != REG_SZ) continue;
      const std::vector<std::string> files = registeredFiles(views, dataSource.driver);
      if (files.empty()) continue;
      bool matches = false;
      for (const std::string& file : files)
        matches = matches || sameRegistryName(file, driver->text());
      if (matches) continue;
      Finding finding =
          dataSourceFinding("driver-file-mismatch", Severity::Warning, place, dataSource);
      finding.message = "its Driver value " + quoted(driver->text()) +
                        " is not the file its driver is registered with in " +
                        viewsText(inventory, place) + ", " + quoted(files.front());
      if (reachedByDsnTarget(inventory, place, dataSource.name) && ansiCarries(files.front())) {
        finding.fix = dsnconfLine({"set", "/dsn", dataSource.name, "Driver", files.front()});
      }
      findings.push_back(std::move(finding));
    }
  }
}

// The family driver registered with this file in any view, if any.
std::optional<std::string> driverOfFile(const Inventory& inventory, const std::string& file) {
  for (const PlaceInventory* view : machineViews(inventory)) {
    for (const DriverRegistration& registration : view->registrations) {
      const std::optional<std::string> registered = registration.driverFile();
      if (registration.hasKey && registered && sameRegistryName(*registered, file)) {
        return registration.driver;
      }
    }
  }
  return std::nullopt;
}

void findUnlistedKey(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  for (const PlaceInventory& place : inventory.places) {
    for (const UnlistedKey& key : place.unlistedKeys) {
      if (!key.driverFile) continue;
      const std::optional<std::string> driver = driverOfFile(inventory, *key.driverFile);
      if (!driver) continue;
      Finding finding;
      finding.id = "unlisted-key";
      finding.severity = Severity::Warning;
      finding.place = place.place;
      finding.dsn = key.name;
      finding.driver = driver;
      finding.message = "its Driver value is the file of " + quoted(*driver) +
                        " but no entry of the data-source list names it, so applications do "
                        "not see it";
      findings.push_back(std::move(finding));
    }
  }
}

void findUnreadableEntry(const Configuration& configuration, Findings& findings) {
  for (const PlaceInventory& place : configuration.inventory.places) {
    for (const UnreadableEntry& entry : place.unreadableEntries) {
      Finding finding;
      finding.id = "unreadable-entry";
      finding.severity = Severity::Warning;
      finding.place = place.place;
      finding.dsn = entry.name;
      finding.message =
          entry.problem == EntryProblem::NotAString
              ? "its data-source list entry is not a string (registry type " +
                    std::to_string(entry.type) + "); view /all and name /all pass over it"
              : "its data-source list entry's name or driver is too long for the 1024-byte "
                "buffers of view /all and name /all, which pass over it";
      findings.push_back(std::move(finding));
    }
  }
}

void findShadowed(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  const PlaceInventory* user = inventory.find(kUserPlace);
  if (!user) return;
  std::vector<std::pair<const PlaceInventory*, std::unordered_set<std::string>>> views;
  for (const PlaceInventory* view : machineViews(inventory)) {
    views.emplace_back(view, foldedNames(*view));
  }
  for (const FamilyDataSource& dataSource : user->dataSources) {
    const std::string name = foldRegistryName(dataSource.name);
    for (const auto& [view, names] : views) {
      if (names.count(name) == 0) continue;
      Finding finding = dataSourceFinding("shadowed", Severity::Info, *user, dataSource);
      finding.message = "it hides the " + std::string(view->place->name) +
                        " data source of the same name from this user's applications";
      findings.push_back(std::move(finding));
    }
  }
}

bool isOn(const std::optional<RegistryValue>& trace) {
  return trace && (trace->type == REG_SZ || trace->type == REG_EXPAND_SZ) && trace->text() == "1";
}

std::optional<std::string> fileOf(const TraceSettings& tracing) {
  if (!tracing.traceFile || tracing.traceFile->type != REG_SZ) return std::nullopt;
  return tracing.traceFile->text();
}

// trace keeps the trace file under the current user for every scope: the
// user's TraceFile applies, else the machine view's own.
void findTracingOn(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  const PlaceInventory* user = inventory.find(kUserPlace);
  const std::optional<std::string> userFile = user ? fileOf(user->tracing) : std::nullopt;
  for (const PlaceInventory& place : inventory.places) {
    if (!isOn(place.tracing.trace)) continue;
    std::optional<std::string> file = userFile;
    if (!file && place.place->scope == Scope::System) file = fileOf(place.tracing);
    Finding finding;
    finding.id = "tracing-on";
    finding.severity = Severity::Warning;
    finding.place = place.place;
    const std::string who =
        place.place->scope == Scope::User
            ? "every application of this user"
            : "every " +
                  std::string(place.place->view == MachineView::Bit64 ? "64-bit" : "32-bit") +
                  " application";
    finding.message =
        "tracing is on: every ODBC call of " + who + " is written to " +
        (file ? quoted(*file) : std::string("the default trace file (no TraceFile is set)"));
    finding.fix = placeHint("trace", *place.place, "off");
    findings.push_back(std::move(finding));
  }
}

void findRegistrationIncomplete(const Configuration& configuration, Findings& findings) {
  for (const PlaceInventory* view : machineViews(configuration.inventory)) {
    for (const DriverRegistration& registration : view->registrations) {
      if (!isEarlierDriver(registration.driver) || registration.hasKey == registration.listed) {
        continue;
      }
      Finding finding;
      finding.id = "registration-incomplete";
      finding.severity = Severity::Warning;
      finding.place = view->place;
      finding.driver = registration.driver;
      const std::string version = versionWord(registration.driver);
      if (registration.hasKey) {
        finding.message = "its key ODBCINST.INI\\" + registration.driver +
                          " exists but ODBC Drivers has no entry for it";
        // reg /add stops at an existing key; reg /del removes the key, after
        // which reg /add registers the driver afresh.
        finding.fix = dsnconfLine({"reg", "/del", version});
      } else {
        finding.message = "ODBC Drivers lists it but its key ODBCINST.INI\\" + registration.driver +
                          " does not exist";
        finding.fix = registerHint({view}, registration.driver);
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findEarlierDriver(const Configuration& configuration, Findings& findings) {
  const Inventory& inventory = configuration.inventory;
  for (const PlaceInventory& place : inventory.places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(inventory, place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (!isEarlierDriver(dataSource.driver)) continue;
      Finding finding = dataSourceFinding("earlier-driver", Severity::Info, place, dataSource);
      finding.message = std::string("it still uses an earlier driver name (") +
                        versionWord(dataSource.driver) + ")";
      if (reachedByDsnTarget(inventory, place, dataSource.name) &&
          registeredInAny(views, kDriverNames[GEN3])) {
        finding.fix = dsnconfLine({"name", "/dsn", dataSource.name, "GEN3"});
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findFileDsnDriver(const Configuration& configuration, Findings& findings) {
  const std::vector<const PlaceInventory*> views = machineViews(configuration.inventory);
  for (const FileDataSource& file : configuration.files) {
    if (registeredInAny(views, file.driver)) continue;
    Finding finding;
    finding.id = "file-dsn-driver";
    finding.severity = Severity::Warning;
    finding.file = file.path;
    finding.dsn = file.path;
    finding.driver = file.driver;
    finding.message = std::string("its DRIVER is not registered in ") +
                      (views.size() > 1 ? "either system view" : "the system view");
    finding.fix = registerHint(views, file.driver);
    findings.push_back(std::move(finding));
  }
}

using FindingRule = void (*)(const Configuration&, Findings&);

// The order in which findings are reported.
const FindingRule kRules[] = {
    findListedWithoutKey, findDriverNotRegistered,    findDriverFileMismatch,
    findUnlistedKey,      findUnreadableEntry,        findShadowed,
    findTracingOn,        findRegistrationIncomplete, findEarlierDriver,
    findFileDsnDriver,
};

}  // namespace

std::vector<Finding> diagnose(const Configuration& configuration) {
  std::vector<Finding> findings;
  for (FindingRule rule : kRules) rule(configuration, findings);
  return findings;
}

const char* severityName(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Info:
      break;
  }
  return "info";
}

}  // namespace dsnconf
