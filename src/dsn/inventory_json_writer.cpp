// The inventory's JSON text made as the walk goes: each data source's entry
// written straight into the text, the small later lists kept as the JSON
// library's values until the end.
#include <utility>

#include "dsn/inventory_json.h"
#include "dsn/json_writer.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

using json = nlohmann::ordered_json;

// An entry of a list, four blanks in, as the library would place it.
constexpr std::size_t kEntryIndent = 4;

void writeName(JsonWriter& out, const char* key, const char* bytesKey, const std::string& name) {
  bool exact = true;
  out.key(key);
  out.string(jsonText(name, exact));
  if (exact) return;
  out.key(bytesKey);
  out.string(nameBytes(name));
}

// A value as valueToJson gives it, or without its data where it holds a
// password that is left out.
void writeValue(JsonWriter& out, const RegistryValue& value, bool redact) {
  out.beginObject();
  writeName(out, "name", "nameBytes", value.name);
  out.key("type");
  out.string(registryTypeName(value.type));
  out.key("data");
  if (redact) {
    out.null();
    out.key("redacted");
    out.boolean(true);
  } else {
    bool exact = true;
    out.value(valueDataJson(value, exact));
    if (!exact) {
      out.key("bytes");
      out.string(hexBytes(value.data));
    }
  }
  out.endObject();
}

void writePlace(JsonWriter& out, const Place& place) {
  out.key("scope");
  out.string(place.scope == Scope::User ? "user" : "system");
  out.key("view");
  if (place.view == MachineView::None) {
    out.null();
  } else {
    out.number(place.view == MachineView::Bit64 ? 64 : 32);
  }
}

void appendIndented(std::string& out, const json& entry) {
  const std::string text = entry.dump(2, ' ', false, json::error_handler_t::replace);
  const std::string indent(kEntryIndent, ' ');
  out += indent;
  std::size_t from = 0;
  for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', from)) {
    out.append(text, from, at + 1 - from);
    out += indent;
    from = at + 1;
  }
  out.append(text, from, std::string::npos);
}

// A list of the library's values, after its name.
void appendList(std::string& out, const char* name, const std::vector<json>& entries) {
  out += std::string(",\n  \"") + name + "\": [";
  for (std::size_t i = 0; i < entries.size(); ++i) {
    out += i == 0 ? "\n" : ",\n";
    appendIndented(out, entries[i]);
  }
  out += entries.empty() ? "]" : "\n  ]";
}

}  // namespace

InventoryJsonWriter::InventoryJsonWriter(PasswordData passwords) : passwords_(passwords) {
  text_ = "{\n  \"dataSources\": [";
}

void InventoryJsonWriter::addDataSource(const Place& place, const FamilyDataSource& dataSource) {
  text_ += firstDataSource_ ? "\n" : ",\n";
  firstDataSource_ = false;
  text_.append(kEntryIndent, ' ');
  JsonWriter out(text_, kEntryIndent);
  out.beginObject();
  writeName(out, "name", "nameBytes", dataSource.name);
  writePlace(out, place);
  out.key("driver");
  out.string(dataSource.driver);
  out.key("hasKey");
  out.boolean(dataSource.hasKey);
  out.key("properties");
  writeValues(out, dataSource.properties);
  out.key("subkeys");
  out.beginArray();
  for (const Subkey& subkey : dataSource.subkeys) {
    out.beginObject();
    writeName(out, "path", "pathBytes", subkey.path);
    out.key("values");
    writeValues(out, subkey.values);
    out.endObject();
  }
  out.endArray();
  out.endObject();
}

void InventoryJsonWriter::writeValues(JsonWriter& out, const std::vector<RegistryValue>& values) {
  out.beginArray();
  for (const RegistryValue& value : values) {
    const bool redact = passwords_ == PasswordData::LeftOut && isPasswordProperty(value.name);
    if (redact) ++redacted_;
    writeValue(out, value, redact);
  }
  out.endArray();
}

void InventoryJsonWriter::addPlace(const PlaceInventory& place) {
  const Place& where = *place.place;
  for (const UnreadableEntry& entry : place.unreadableEntries) {
    unreadableEntries_.push_back(unreadableEntryJson(where, entry));
  }
  tracing_.push_back(tracingJson(place));
  for (const DriverRegistration& registration : place.registrations) {
    drivers_.push_back(driverJson(where, registration));
  }
}

void InventoryJsonWriter::finish() {
  text_ += firstDataSource_ ? "]" : "\n  ]";
  appendList(text_, "unreadableEntries", unreadableEntries_);
  appendList(text_, "tracing", tracing_);
  appendList(text_, "drivers", drivers_);
  text_ += "\n}";
}

std::string inventoryJsonText(const Inventory& inventory, PasswordData passwords) {
  InventoryJsonWriter writer(passwords);
  for (const PlaceInventory& place : inventory.places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      writer.addDataSource(*place.place, dataSource);
    }
  }
  for (const PlaceInventory& place : inventory.places) writer.addPlace(place);
  writer.finish();
  return std::move(writer.text());
}

}  // namespace dsnconf
