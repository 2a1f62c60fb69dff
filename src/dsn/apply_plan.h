// What apply does to bring the registry to a desired state, as one plan:
// each data source of the file created where it is missing, otherwise given
// the file's driver and values (a value the file does not name is left as
// it is, one whose data is null removed, a redacted one left alone); with
// /prune the family data sources of the file's places that it does not list
// removed; tracing set where the file gives it. Everything is checked before
// the plan is made: a refusal means nothing is written.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "dsn/change_plan.h"
#include "dsn/desired_state.h"
#include "dsn/inventory.h"

namespace dsnconf {

struct ApplyPlan {
  Plan plan;
  // The data sources the plan changes or removes, as they are now, for a
  // backup that restores them.
  Inventory touched;
};

// False after lines have said why the state cannot be applied.
bool planApply(const DesiredState& desired, const Inventory& current, bool prune,
               ApplyPlan& result);

}  // namespace dsnconf
