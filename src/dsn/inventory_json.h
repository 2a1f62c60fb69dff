// The inventory as one JSON document, for scripts (export /json).
#pragma once

#include <nlohmann/json.hpp>
#include <string>

#include "dsn/inventory.h"

namespace dsnconf {

// Where an entry lives: "scope" ("user", "system", or "file" for a file data
// source, where `place` is null) and "view" (64, 32 or null).
void addPlaceJson(nlohmann::ordered_json& object, const Place* place);

// One registry value: name, type, data as its type reads best, and the exact
// bytes in hex where that data does not say them all.
nlohmann::ordered_json valueToJson(const RegistryValue& value);

// dataSources, unreadableEntries, tracing and drivers, places in walk order.
nlohmann::ordered_json inventoryToJson(const Inventory& inventory);

// The same document as `inventoryToJson(inventory).dump(2)` writes it, made
// one entry at a time: the tree of ten thousand data sources would take
// several times the memory and time of the text.
std::string inventoryJsonText(const Inventory& inventory);

}  // namespace dsnconf
