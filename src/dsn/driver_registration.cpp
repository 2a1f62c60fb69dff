#include "dsn/driver_registration.h"

#include <vector>

#include "base/output.h"
#include "dsn/odbc_ini.h"
#include "dsn/reg_read.h"

namespace dsnconf {
namespace {

void printUnusable(const char* driver, const Place& view, Registration state,
                   const std::string& name) {
  const std::string where = std::string(" for ") + viewBits(view) + "-bit applications";
  const std::string why = state == Registration::Missing
                              ? " is not registered" + where
                              : " is registered" + where + " without a Driver file";
  printLine(std::string("*** '") + driver + "'" + why + ": the DSN " + name +
            " could not be used there ***");
}

void printRegisteredNowhere(const char* driver, const std::string& name) {
  printLine(std::string("*** '") + driver +
            "' is registered neither for 64-bit nor for 32-bit applications: the DSN " + name +
            " could not be used ***");
}

void printRegistrationReadFailure(const char* driver, const Place& view, LSTATUS status) {
  printLine("*** Got error code " + std::to_string(status) + " while reading the " +
            viewBits(view) + "-bit registration of '" + driver + "' ***");
}

// reg /add registers an earlier driver by copying the current driver's
// registration, in every machine view: it repairs a missing registration
// where the current driver is registered in each view to copy from.
void printRegisterHint(DriverVersion version) {
  if (version == GEN3) return;
  for (const Place* view : machinePlaces()) {
    Registration state = Registration::Missing;
    std::string file;
    if (readRegistration(*view, kDriverNames[GEN3], state, file) != ERROR_SUCCESS ||
        state != Registration::Usable) {
      return;
    }
  }
  printLine(std::string("*** To register it: dsnconf reg /add ") +
            versionWord(kDriverNames[version]) + " ***");
}

// The registration of `view`, or false once lines have said why it cannot
// be used.
bool useRegistration(const Place& view, DriverVersion version, const std::string& name,
                     UsedRegistration& used) {
  const char* driver = kDriverNames[version];
  Registration state = Registration::Missing;
  const LSTATUS status = readRegistration(view, driver, state, used.file);
  if (status != ERROR_SUCCESS) {
    printRegistrationReadFailure(driver, view, status);
    return false;
  }
  used.view = &view;
  if (state == Registration::Usable) return true;
  printUnusable(driver, view, state, name);
  if (state == Registration::Missing) printRegisterHint(version);
  return false;
}

bool useUserRegistration(MachineView chosen, DriverVersion version, const std::string& name,
                         UsedRegistration& used) {
  if (chosen != MachineView::None || !hasTwoMachineViews()) {
    return useRegistration(machineViewPlace(chosen), version, name, used);
  }
  const char* driver = kDriverNames[version];
  std::vector<const Place*> present;
  for (const Place* view : machinePlaces()) {
    Registration state = Registration::Missing;
    std::string file;
    const LSTATUS status = readRegistration(*view, driver, state, file);
    if (status != ERROR_SUCCESS) {
      printRegistrationReadFailure(driver, *view, status);
      return false;
    }
    if (state != Registration::Missing) present.push_back(view);
  }
  if (present.empty()) {
    printRegisteredNowhere(driver, name);
    printRegisterHint(version);
    return false;
  }
  return useRegistration(*present.front(), version, name, used);
}

}  // namespace

LSTATUS readRegistration(const Place& view, const char* driver, Registration& state,
                         std::string& file) {
  state = Registration::Missing;
  RegKeyHolder key;
  bool found = false;
  const std::string path = std::string(kOdbcInstPath) + "\\" + driver;
  LSTATUS status = openKeyIfPresent(view.root, path, KEY_QUERY_VALUE | view.viewFlag, key, found);
  if (status != ERROR_SUCCESS || !found) return status;
  state = Registration::WithoutDriverFile;
  RegistryValue value;
  status = readWholeValue(key.get(), "Driver", value, found);
  if (status != ERROR_SUCCESS || !found || value.type != REG_SZ) return status;
  file = value.text();
  state = Registration::Usable;
  return ERROR_SUCCESS;
}

bool chooseRegistration(const Place& place, MachineView chosen, DriverVersion version,
                        const std::string& name, UsedRegistration& used) {
  if (place.scope == Scope::User) return useUserRegistration(chosen, version, name, used);
  return useRegistration(place, version, name, used);
}

}  // namespace dsnconf
