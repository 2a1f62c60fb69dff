// What the finding rules and their repair hints look up, built once for a
// whole diagnosis so that no rule scans a place once per finding: each
// place's family data sources by name, the machine views, and what reg /add
// would do to the data sources of each earlier driver.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "dsn/configuration.h"
#include "dsn/folded_names.h"

namespace dsnconf {

class Survey {
 public:
  explicit Survey(const Configuration& configuration);
  Survey(const Survey&) = delete;
  Survey& operator=(const Survey&) = delete;

  const Configuration& configuration() const { return configuration_; }
  const Inventory& inventory() const { return configuration_.inventory; }
  const std::vector<const PlaceInventory*>& machineViews() const { return views_; }
  bool hasOneMachineView() const { return views_.size() == 1; }

  // The place's data source of the family of that name, if it lists one.
  const FamilyDataSource* familyDataSource(const PlaceInventory& place,
                                           std::string_view name) const;

  // The other machine view of a machine view, where there are two.
  const PlaceInventory* otherView(const PlaceInventory& view) const;

  // Whether reg /add of the earlier driver, which copies the current
  // driver's registration into every view that lacks one, leaves no data
  // source of that driver with a Driver value its registrations no longer
  // match where they matched (or were not compared) before.
  bool regAddKeepsDriverFiles(const std::string& driver) const;

 private:
  void surveyRegAdd();

  const Configuration& configuration_;
  std::vector<const PlaceInventory*> views_;
  std::vector<FoldedNameMap<const FamilyDataSource*>> names_;  // by place, in inventory order
  bool regAddKeeps_[3] = {true, true, true};                   // by DriverVersion
};

// The files the driver is registered with in the views, in view order.
std::vector<std::string> registeredFiles(const std::vector<const PlaceInventory*>& views,
                                         const std::string& driver);

// Whether a data source's Driver value, compared with the files its driver
// is registered with, is reported: some file is registered and none is it.
bool mismatchesFiles(const std::string& driverValue, const std::vector<std::string>& files);

}  // namespace dsnconf
