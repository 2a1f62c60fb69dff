#include "dsn/inventory_json.h"

#include <cstdint>
#include <iterator>
#include <utility>

#include "base/unicode.h"
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
  const std::u16string units = utf16LeUnits(data);
  json strings = json::array();
  std::u16string rebuilt;
  exact = data.size() % 2 == 0;
  std::size_t start = 0;
  while (start < units.size()) {
    const std::size_t end = units.find(u'\0', start);
    const std::u16string item =
        units.substr(start, end == std::u16string::npos ? end : end - start);
    if (item.empty()) break;
    bool itemExact = true;
    strings.push_back(jsonText(utf16ToWtf8(item), itemExact));
    exact = exact && itemExact;
    rebuilt += item + u'\0';
    if (end == std::u16string::npos) break;
    start = end + 1;
  }
  if (!units.empty()) rebuilt += u'\0';
  exact = exact && rebuilt == units;
  return strings;
}

// "name" and, where the name is no exact Unicode text, "nameBytes".
void addName(json& object, const std::string& name) {
  bool exact = true;
  object["name"] = jsonText(name, exact);
  if (!exact) object["nameBytes"] = nameBytes(name);
}

json valuesToJson(const std::vector<RegistryValue>& values) {
  json array = json::array();
  for (const RegistryValue& value : values) array.push_back(valueToJson(value));
  return array;
}

const char* problemName(EntryProblem problem) {
  return problem == EntryProblem::TooLong ? "tooLong" : "notAString";
}

// A password value without its data: its name and type say what it is.
json redactedToJson(const RegistryValue& value) {
  json object = objectWithRoom(4);
  addName(object, value.name);
  object["type"] = registryTypeName(value.type);
  object["data"] = nullptr;
  object["redacted"] = true;
  return object;
}

// A data source's values, password data left out unless kept; `redacted`
// counts what was left out.
class DataSourceValues {
 public:
  explicit DataSourceValues(PasswordData passwords) : passwords_(passwords) {}

  json values(const std::vector<RegistryValue>& values) {
    json array = json::array();
    for (const RegistryValue& value : values) {
      if (passwords_ == PasswordData::LeftOut && isPasswordProperty(value.name)) {
        array.push_back(redactedToJson(value));
        ++redacted;
      } else {
        array.push_back(valueToJson(value));
      }
    }
    return array;
  }

  json subkeys(const std::vector<Subkey>& subkeys) {
    json array = json::array();
    for (const Subkey& subkey : subkeys) {
      json object = objectWithRoom(3);
      bool exact = true;
      object["path"] = jsonText(subkey.path, exact);
      if (!exact) object["pathBytes"] = nameBytes(subkey.path);
      object["values"] = values(subkey.values);
      array.push_back(std::move(object));
    }
    return array;
  }

  std::size_t redacted = 0;

 private:
  PasswordData passwords_;
};

json dataSourceJson(const Place& place, const FamilyDataSource& dataSource,
                    DataSourceValues& values) {
  json object = objectWithRoom(8);
  addName(object, dataSource.name);
  addPlaceJson(object, &place);
  object["driver"] = dataSource.driver;
  object["hasKey"] = dataSource.hasKey;
  object["properties"] = values.values(dataSource.properties);
  object["subkeys"] = values.subkeys(dataSource.subkeys);
  return object;
}

}  // namespace

// The largest integer a JSON reader that takes numbers as doubles (jq,
// JavaScript) holds exactly: 2^53 - 1. Larger QWORDs are written as strings.
constexpr std::uint64_t kLargestExactNumber = (std::uint64_t{1} << 53) - 1;

json valueDataJson(const RegistryValue& value, bool& exact) {
  exact = true;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
      return stringJsonText(value.data, exact);
    case REG_MULTI_SZ:
      return multiStrings(value.data, exact);
    case REG_DWORD:
    case REG_DWORD_BIG_ENDIAN:
      if (value.data.size() != 4) break;
      return value.type == REG_DWORD ? littleEndian(value.data) : bigEndian(value.data);
    case REG_QWORD: {
      if (value.data.size() != 8) break;
      const std::uint64_t number = littleEndian(value.data);
      if (number <= kLargestExactNumber) return number;
      return std::to_string(number);
    }
    default:
      return hexBytes(value.data);
  }
  exact = false;
  return nullptr;
}

void addPlaceJson(json& object, const Place* place) {
  json view = nullptr;
  std::string scope = "file";
  if (place) {
    scope = place->scope == Scope::User ? "user" : "system";
    if (place->view == MachineView::Bit64) view = 64;
    if (place->view == MachineView::Bit32) view = 32;
  }
  object["scope"] = scope;
  object["view"] = view;
}

json valueToJson(const RegistryValue& value) {
  json object = objectWithRoom(4);
  addName(object, value.name);
  object["type"] = registryTypeName(value.type);
  bool exact = true;
  object["data"] = valueDataJson(value, exact);
  if (!exact) object["bytes"] = hexBytes(value.data);
  return object;
}

json unreadableEntryJson(const Place& place, const UnreadableEntry& entry) {
  json object = valueToJson({entry.name, entry.type, entry.data});
  addPlaceJson(object, &place);
  object["problem"] = problemName(entry.problem);
  return object;
}

json driverJson(const Place& place, const DriverRegistration& registration) {
  json object = objectWithRoom(6);
  object["name"] = registration.driver;
  addPlaceJson(object, &place);
  object["listed"] = registration.listed;
  object["hasKey"] = registration.hasKey;
  object["values"] = valuesToJson(registration.values);
  return object;
}

json tracingJson(const PlaceInventory& place) {
  json tracing = objectWithRoom(4);
  addPlaceJson(tracing, place.place);
  const TraceSettings& settings = place.tracing;
  tracing["trace"] = settings.trace ? valueToJson(*settings.trace) : json(nullptr);
  tracing["traceFile"] = settings.traceFile ? valueToJson(*settings.traceFile) : json(nullptr);
  return tracing;
}

json inventoryToJson(const Inventory& inventory, PasswordData passwords) {
  json document = objectWithRoom(4);
  json dataSources = json::array();
  json unreadable = json::array();
  json tracing = json::array();
  json drivers = json::array();
  DataSourceValues values(passwords);
  for (const PlaceInventory& place : inventory.places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      dataSources.push_back(dataSourceJson(*place.place, dataSource, values));
    }
    for (const UnreadableEntry& entry : place.unreadableEntries) {
      unreadable.push_back(unreadableEntryJson(*place.place, entry));
    }
    tracing.push_back(tracingJson(place));
    for (const DriverRegistration& registration : place.registrations) {
      drivers.push_back(driverJson(*place.place, registration));
    }
  }
  document["dataSources"] = std::move(dataSources);
  document["unreadableEntries"] = std::move(unreadable);
  document["tracing"] = std::move(tracing);
  document["drivers"] = std::move(drivers);
  return document;
}

}  // namespace dsnconf
