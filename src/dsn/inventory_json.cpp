#include "dsn/inventory_json.h"

#include <cstdint>

#include "dsn/value_text.h"

namespace dsnconf {
namespace {

using json = nlohmann::ordered_json;

// An object with room for its members: an ordered object is a vector of
// pairs whose key is const, so growing it copies every member already in it,
// and tens of thousands of values are exported.
json objectWithRoom(std::size_t members) {
  json object = json::object();
  object.get_ref<json::object_t&>().reserve(members);
  return object;
}

json viewOf(const Place& place) {
  switch (place.view) {
    case MachineView::Bit64:
      return 64;
    case MachineView::Bit32:
      return 32;
    case MachineView::None:
      break;
  }
  return nullptr;
}

// Where an entry lives: its scope and machine view.
void addPlace(json& object, const Place& place) {
  object["scope"] = place.scope == Scope::User ? "user" : "system";
  object["view"] = viewOf(place);
}

std::uint64_t littleEndian(const std::string& bytes) {
  std::uint64_t number = 0;
  for (std::size_t i = bytes.size(); i-- > 0;) {
    number = (number << 8) | static_cast<unsigned char>(bytes[i]);
  }
  return number;
}

std::uint64_t bigEndian(const std::string& bytes) {
  std::uint64_t number = 0;
  for (const char byte : bytes) number = (number << 8) | static_cast<unsigned char>(byte);
  return number;
}

// The strings of REG_MULTI_SZ data, and whether they say all of it (each
// string terminated, then one more terminator; empty data is no strings).
json multiStrings(const std::string& data, bool& exact) {
  json strings = json::array();
  std::string rebuilt;
  std::size_t start = 0;
  while (start < data.size()) {
    const std::size_t end = data.find('\0', start);
    const std::string item = data.substr(start, end == std::string::npos ? end : end - start);
    if (item.empty()) break;
    strings.push_back(codePageToUtf8(item));
    rebuilt += item + '\0';
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (!data.empty()) rebuilt += '\0';
  exact = rebuilt == data;
  return strings;
}

// The data of a value as a script reads it best; `exact` is false where
// the bytes must be given as well.
json dataOf(const RegistryValue& value, bool& exact) {
  exact = true;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      exact = value.data.size() == value.text().size() + 1;
      return codePageToUtf8(value.text());
    case REG_MULTI_SZ:
      return multiStrings(value.data, exact);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      if (value.data.size() != 4) break;
      return value.type == REG_DWORD ? littleEndian(value.data) : bigEndian(value.data);
    case REG_QWORD:
      if (value.data.size() != 8) break;
      return littleEndian(value.data);
    default:
      return hexBytes(value.data);
  }
  exact = false;
  return nullptr;
}

json tracingOf(const PlaceInventory& place) {
  json tracing = objectWithRoom(4);
  addPlace(tracing, *place.place);
  const TraceSettings& settings = place.tracing;
  tracing["trace"] = settings.trace ? valueToJson(*settings.trace) : json(nullptr);
  tracing["traceFile"] = settings.traceFile ? valueToJson(*settings.traceFile) : json(nullptr);
  return tracing;
}

json valuesToJson(const std::vector<RegistryValue>& values) {
  json array = json::array();
  for (const RegistryValue& value : values) array.push_back(valueToJson(value));
  return array;
}

const char* problemName(EntryProblem problem) {
  return problem == EntryProblem::TooLong ? "tooLong" : "notAString";
}

}  // namespace

json valueToJson(const RegistryValue& value) {
  json object = objectWithRoom(4);
  object["name"] = codePageToUtf8(value.name);
  object["type"] = registryTypeName(value.type);
  bool exact = true;
  object["data"] = dataOf(value, exact);
  if (!exact) object["bytes"] = hexBytes(value.data);
  return object;
}

json inventoryToJson(const Inventory& inventory) {
  json dataSources = json::array();
  json unreadable = json::array();
  json tracing = json::array();
  json drivers = json::array();
  for (const PlaceInventory& place : inventory.places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      json object = objectWithRoom(6);
      object["name"] = codePageToUtf8(dataSource.name);
      addPlace(object, *place.place);
      object["driver"] = dataSource.driver;
      object["hasKey"] = dataSource.hasKey;
      object["properties"] = valuesToJson(dataSource.properties);
      dataSources.push_back(std::move(object));
    }
    for (const UnreadableEntry& entry : place.unreadableEntries) {
      json object = valueToJson({entry.name, entry.type, entry.data});
      addPlace(object, *place.place);
      object["problem"] = problemName(entry.problem);
      unreadable.push_back(std::move(object));
    }
    tracing.push_back(tracingOf(place));
    for (const DriverRegistration& registration : place.registrations) {
      json object = objectWithRoom(6);
      object["name"] = registration.driver;
      addPlace(object, *place.place);
      object["listed"] = registration.listed;
      object["hasKey"] = registration.hasKey;
      object["values"] = valuesToJson(registration.values);
      drivers.push_back(std::move(object));
    }
  }
  json document = objectWithRoom(4);
  document["dataSources"] = std::move(dataSources);
  document["unreadableEntries"] = std::move(unreadable);
  document["tracing"] = std::move(tracing);
  document["drivers"] = std::move(drivers);
  return document;
}

}  // namespace dsnconf
