// The inventory as one JSON document, for scripts (export /json).
#pragma once

#include <nlohmann/json.hpp>

#include "dsn/inventory.h"

namespace dsnconf {

// One registry value: name, type, data as its type reads best, and the exact
// bytes in hex where that data does not say them all.
nlohmann::ordered_json valueToJson(const RegistryValue& value);

// dataSources, unreadableEntries, tracing and drivers, places in walk order.
nlohmann::ordered_json inventoryToJson(const Inventory& inventory);

}  // namespace dsnconf
