// The inventory as one JSON document, for scripts (export /json). The
// document is made as the walk goes: each data source's entry is written as
// it is read, the later lists kept per place until the end.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "dsn/inventory.h"
#include "dsn/passwords.h"

namespace dsnconf {

class JsonWriter;

// Where an entry lives: "scope" ("user", "system", or "file" for a file data
// source, where `place` is null) and "view" (64, 32 or null).
void addPlaceJson(nlohmann::ordered_json& object, const Place* place);

// One registry value: name, type, data as its type reads best, and the exact
// bytes in hex where that data does not say them all.
nlohmann::ordered_json valueToJson(const RegistryValue& value);

// A value's "data" as its type reads best; `exact` is false where the bytes
// must be given as well.
nlohmann::ordered_json valueDataJson(const RegistryValue& value, bool& exact);

// The entries of the lists after dataSources.
nlohmann::ordered_json unreadableEntryJson(const Place& place, const UnreadableEntry& entry);
nlohmann::ordered_json tracingJson(const PlaceInventory& place);
nlohmann::ordered_json driverJson(const Place& place, const DriverRegistration& registration);

// The document's text, made one entry at a time, the very text that
// `inventoryToJson(...).dump(2)` gives for the whole: dataSources (every
// place's, in walk order), then unreadableEntries, tracing and drivers. The
// tree of ten thousand data sources would take several times the memory and
// time of the text.
class InventoryJsonWriter {
 public:
  explicit InventoryJsonWriter(PasswordData passwords);

  // Appends the data source's entry to the text.
  void addDataSource(const Place& place, const FamilyDataSource& dataSource);
  // Keeps the place's entries of the later lists, written by finish().
  void addPlace(const PlaceInventory& place);
  // Writes the later lists and closes the document (without a line end).
  void finish();

  // The text made since it was last taken: a caller may write it out and
  // clear it between entries.
  std::string& text() { return text_; }
  // How many password values were left out.
  std::size_t redactedValues() const { return redacted_; }

 private:
  void writeValues(JsonWriter& out, const std::vector<RegistryValue>& values);

  PasswordData passwords_;
  std::string text_;
  bool firstDataSource_ = true;
  std::size_t redacted_ = 0;
  std::vector<nlohmann::ordered_json> unreadableEntries_;
  std::vector<nlohmann::ordered_json> tracing_;
  std::vector<nlohmann::ordered_json> drivers_;
};

// The whole document as a tree, and its text made by the writer.
nlohmann::ordered_json inventoryToJson(const Inventory& inventory,
                                       PasswordData passwords = PasswordData::LeftOut);
std::string inventoryJsonText(const Inventory& inventory,
                              PasswordData passwords = PasswordData::LeftOut);

}  // namespace dsnconf
