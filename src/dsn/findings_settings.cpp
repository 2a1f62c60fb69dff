// The rules about list entries the walks skip, tracing, the registrations of
// the earlier drivers, and the drivers of file data sources.
#include "dsn/family.h"
#include "dsn/finding_rules.h"
#include "dsn/repair_hints.h"

namespace dsnconf {

void findUnreadableEntry(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
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

namespace {

bool isOn(const std::optional<RegistryValue>& trace) {
  return trace && (trace->type == REG_SZ || trace->type == REG_EXPAND_SZ) && trace->text() == "1";
}

std::optional<std::string> fileOf(const TraceSettings& tracing) {
  if (!tracing.traceFile || tracing.traceFile->type != REG_SZ) return std::nullopt;
  return tracing.traceFile->text();
}

}  // namespace

// trace keeps the trace file under the current user for every scope: the
// user's TraceFile applies, else the machine view's own.
void findTracingOn(const Survey& survey, Findings& findings) {
  const Inventory& inventory = survey.inventory();
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

void findRegistrationIncomplete(const Survey& survey, Findings& findings) {
  for (const PlaceInventory* view : survey.machineViews()) {
    for (const DriverRegistration& registration : view->registrations) {
      if (!isEarlierDriver(registration.driver) || registration.hasKey == registration.listed) {
        continue;
      }
      Finding finding;
      finding.id = "registration-incomplete";
      finding.severity = Severity::Warning;
      finding.place = view->place;
      finding.driver = registration.driver;
      if (registration.hasKey) {
        finding.message = "its key ODBCINST.INI\\" + registration.driver +
                          " exists but ODBC Drivers has no entry for it";
        // reg /add stops at the existing key, and reg /del would unregister
        // the driver in every view, breaking the data sources that use it:
        // the entry alone is written, by Windows' own reg.
        finding.fix = driverListHint(survey, *view, registration.driver);
      } else {
        finding.message = "ODBC Drivers lists it but its key ODBCINST.INI\\" + registration.driver +
                          " does not exist";
        finding.fix = registerHint(survey, {view}, registration.driver);
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findFileDsnDriver(const Survey& survey, Findings& findings) {
  const std::vector<const PlaceInventory*>& views = survey.machineViews();
  for (const FileDataSource& file : survey.configuration().files) {
    if (registeredInAny(views, file.driver)) continue;
    Finding finding;
    finding.id = "file-dsn-driver";
    finding.severity = Severity::Warning;
    finding.file = file.path;
    finding.dsn = file.path;
    finding.driver = file.driver;
    finding.message = std::string("its DRIVER is not registered in ") +
                      (views.size() > 1 ? "either system view" : "the system view");
    finding.fix = registerHint(survey, views, file.driver);
    findings.push_back(std::move(finding));
  }
}

}  // namespace dsnconf
