// The one walk over the family's configuration, place by place in walk order:
// each place's data-source list first, then each family data source read
// whole (its key's values and every key below it) and handed to a visitor as
// it is read, then the rest of the place (keys no list names, tracing, the
// drivers' registrations). What a data source holds is let go once its visitor
// has seen it, so that a walk over tens of thousands of data sources holds
// one at a time; the small parts of each place are kept in its record.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/inventory.h"

namespace dsnconf {

// What is read of a place besides its list and its data sources.
enum class PlaceParts {
  // Keys no list names, tracing, the drivers' registrations and the folder
  // of file data sources: what check diagnoses.
  All,
  // Tracing and the drivers' registrations: what export writes.
  TracingAndRegistrations,
  // Nothing more: what show prints.
  None,
};

struct WalkOptions {
  // The places read, in this order.
  std::vector<const Place*> places = allPlaces();
  PlaceParts parts = PlaceParts::All;
  // Only the data source of this name (compared as the registry compares
  // names), wherever a chosen place lists it.
  std::optional<std::string> name;
  KeptValues kept = KeptValues::None;
};

class FamilyVisitor {
 public:
  virtual ~FamilyVisitor() = default;

  // Where the walk keeps what it reads of `place`: the visitor's own record,
  // alive until the next place starts.
  virtual PlaceInventory& placeStarted(const Place& place) = 0;

  // The place's list has been read: its family data sources are named, none
  // of their keys read yet.
  virtual void listRead(const PlaceInventory&) {}

  // One family data source of the place, read whole. Its values are let go
  // after the call (as `kept` says): a visitor that needs them takes them.
  virtual void dataSource(const PlaceInventory& place, FamilyDataSource& dataSource) = 0;

  // Everything chosen of the place has been read.
  virtual void placeRead(const PlaceInventory&) {}

  // A read failed: of the data source `failed`, or of the place itself where
  // that is null. True passes over what could not be read (that data source,
  // or the rest of the place) and goes on; false stops the walk there.
  virtual bool goOnAfter(const PlaceInventory&, const FamilyDataSource* /*failed*/,
                         const InventoryFailure&) {
    return false;
  }
};

// Walks the chosen places. Missing keys are simply absent; any other registry
// error is handed to the visitor, and where it does not go on, returned with
// `failure` saying where.
LSTATUS walkFamily(const WalkOptions& options, FamilyVisitor& visitor, InventoryFailure& failure);

// The values of a data source's key, read again: where a walk kept only
// their digest (KeptValues::Findings) and a rule needs them whole.
LSTATUS readPropertiesOf(const Place& place, const std::string& name,
                         std::vector<RegistryValue>& values);

}  // namespace dsnconf
