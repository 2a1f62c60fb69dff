// A driver's registration in a machine view: its ODBCINST.INI key and the
// file named by its Driver value, which a new data source of that view
// records. Which registration a data source of a place uses, and the lines
// that say why none can be used.
#pragma once

#include <string>

#include "dsn/family.h"
#include "dsn/places.h"
#include "win32.h"

namespace dsnconf {

enum class Registration { Usable, Missing, WithoutDriverFile };

// The registration's state and, where usable, its Driver file.
LSTATUS readRegistration(const Place& view, const char* driver, Registration& state,
                         std::string& file);

// The registration a data source of `place` uses: a machine view its own; the
// user's tree the view chosen, or without one the 64-bit registration, or
// the 32-bit one where only that exists. False once lines have said why
// there is none for the data source `name`, and how to register the driver
// where a dsnconf command does.
struct UsedRegistration {
  const Place* view = nullptr;
  std::string file;
};
bool chooseRegistration(const Place& place, MachineView chosen, DriverVersion version,
                        const std::string& name, UsedRegistration& used);

}  // namespace dsnconf
