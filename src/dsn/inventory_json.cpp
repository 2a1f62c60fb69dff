#include "dsn/inventory_json.h"

#include <cstdint>
#include <iterator>

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

// The largest integer a JSON reader that takes numbers as doubles (jq,
// JavaScript) holds exactly: 2^53 - 1. Larger QWORDs are written as strings.
constexpr std::uint64_t kLargestExactNumber = (std::uint64_t{1} << 53) - 1;

// The data of a value as a script reads it best; `exact` is false where
// the bytes must be given as well.
json dataOf(const RegistryValue& value, bool& exact) {
  exact = true;
  switch (value.type) {
    case REG_SZ:
    case REG_EXPAND_SZ: {
      const std::string text = value.text();
      const std::string json = jsonText(text, exact);
      exact = exact && value.data == stringData(text);
      return json;
    }
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

// "name" and, where the name is no exact Unicode text, "nameBytes".
void addName(json& object, const std::string& name) {
  bool exact = true;
  object["name"] = jsonText(name, exact);
  if (!exact) object["nameBytes"] = nameBytes(name);
}

json tracingOf(const PlaceInventory& place) {
  json tracing = objectWithRoom(4);
  addPlaceJson(tracing, place.place);
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
  object["data"] = dataOf(value, exact);
  if (!exact) object["bytes"] = hexBytes(value.data);
  return object;
}

namespace {

json subkeysToJson(const std::vector<Subkey>& subkeys) {
  json array = json::array();
  for (const Subkey& subkey : subkeys) {
    json object = objectWithRoom(3);
    bool exact = true;
    object["path"] = jsonText(subkey.path, exact);
    if (!exact) object["pathBytes"] = nameBytes(subkey.path);
    object["values"] = valuesToJson(subkey.values);
    array.push_back(std::move(object));
  }
  return array;
}

json dataSourceJson(const Place& place, const FamilyDataSource& dataSource) {
  json object = objectWithRoom(8);
  addName(object, dataSource.name);
  addPlaceJson(object, &place);
  object["driver"] = dataSource.driver;
  object["hasKey"] = dataSource.hasKey;
  object["properties"] = valuesToJson(dataSource.properties);
  object["subkeys"] = subkeysToJson(dataSource.subkeys);
  return object;
}

json unreadableJson(const Place& place, const UnreadableEntry& entry) {
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

// The document's four lists, each entry handed to `emit` as it is made, in
// the document's order.
template <typename Emit>
void forEachEntry(const Inventory& inventory, const char* list, Emit emit) {
  const std::string name = list;
  for (const PlaceInventory& place : inventory.places) {
    const Place& where = *place.place;
    if (name == "dataSources") {
      for (const FamilyDataSource& dataSource : place.dataSources) {
        emit(dataSourceJson(where, dataSource));
      }
    } else if (name == "unreadableEntries") {
      for (const UnreadableEntry& entry : place.unreadableEntries) {
        emit(unreadableJson(where, entry));
      }
    } else if (name == "tracing") {
      emit(tracingOf(place));
    } else {
      for (const DriverRegistration& registration : place.registrations) {
        emit(driverJson(where, registration));
      }
    }
  }
}

const char* const kLists[] = {"dataSources", "unreadableEntries", "tracing", "drivers"};

// The serialiser's own text of one entry, moved `indent` blanks to the
// right: a JSON text holds a line break only between its tokens.
void appendIndented(std::string& out, const json& entry, const std::string& indent) {
  const std::string text = entry.dump(2, ' ', false, json::error_handler_t::replace);
  out += indent;
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    out.append(text, from, at + 1 - from);
    out += indent;
    from = at + 1;
  }
  out.append(text, from, std::string::npos);
}

}  // namespace

json inventoryToJson(const Inventory& inventory) {
  json document = objectWithRoom(std::size(kLists));
  for (const char* list : kLists) {
    json entries = json::array();
    forEachEntry(inventory, list, [&](json entry) { entries.push_back(std::move(entry)); });
    document[list] = std::move(entries);
  }
  return document;
}

std::string inventoryJsonText(const Inventory& inventory) {
  std::string out = "{\n";
  for (std::size_t i = 0; i < std::size(kLists); ++i) {
    out += std::string("  \"") + kLists[i] + "\": [";
    bool first = true;
    forEachEntry(inventory, kLists[i], [&](const json& entry) {
      out += first ? "\n" : ",\n";
      first = false;
      appendIndented(out, entry, "    ");
    });
    out += first ? "]" : "\n  ]";
    out += i + 1 < std::size(kLists) ? ",\n" : "\n";
  }
  out += "}";
  return out;
}

}  // namespace dsnconf
