// The configuration a file asks for: data sources of the family in their
// places with their drivers, properties and subkeys, and tracing. The file is
// a JSON document in the shape export /json writes, so that an export is
// valid input; a hand-written one may give properties as an object of names
// to strings, leave out a system data source's view (every machine view),
// and name a driver by its version word.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/family.h"
#include "dsn/places.h"
#include "dsn/reg_read.h"

namespace dsnconf {

// One value as the file gives it.
struct DesiredValue {
  enum class Kind {
    Set,     // the value, with its type and exact data
    Remove,  // data null and no bytes: the value is removed
    Keep,    // redacted: the file does not say its data, which stays as it is
  };
  Kind kind = Kind::Set;
  RegistryValue value;  // its name always; type and data for Set
};

struct DesiredSubkey {
  std::string path;  // below the data source's key
  std::vector<DesiredValue> values;
};

struct DesiredDataSource {
  std::string name;
  std::vector<const Place*> places;  // where it is to be
  DriverVersion driver = GEN3;
  std::vector<DesiredValue> properties;  // in the file's order
  std::vector<DesiredSubkey> subkeys;
};

// Trace and TraceFile of a place, where the file gives them.
struct DesiredTracing {
  const Place* place = nullptr;
  std::optional<RegistryValue> trace;
  std::optional<RegistryValue> traceFile;
};

// A driver the file lists as registered in a view: only a precondition.
struct DesiredDriver {
  const Place* place = nullptr;
  DriverVersion driver = GEN3;
};

struct DesiredState {
  std::vector<DesiredDataSource> dataSources;
  std::vector<DesiredTracing> tracing;
  std::vector<DesiredDriver> drivers;
};

// Reads the document (UTF-8 JSON). False with `error` saying what is wrong
// and where ("dataSources[2].properties[0]: no type REG_FOO").
bool parseDesiredState(const std::string& document, DesiredState& state, std::string& error);

}  // namespace dsnconf
