#include "dsn/finding_survey.h"

#include "dsn/family.h"

namespace dsnconf {

Survey::Survey(const Configuration& configuration)
    : configuration_(configuration), views_(dsnconf::machineViews(configuration.inventory)) {
  names_.resize(inventory().places.size());
  for (std::size_t i = 0; i < names_.size(); ++i) {
    for (const FamilyDataSource& dataSource : inventory().places[i].dataSources) {
      names_[i].emplace(dataSource.name, &dataSource);
    }
  }
  surveyRegAdd();
}

const FamilyDataSource* Survey::familyDataSource(const PlaceInventory& place,
                                                 std::string_view name) const {
  const auto& names = names_[static_cast<std::size_t>(&place - inventory().places.data())];
  const auto found = names.find(name);
  return found == names.end() ? nullptr : found->second;
}

const PlaceInventory* Survey::otherView(const PlaceInventory& view) const {
  if (view.place->scope != Scope::System || views_.size() != 2) return nullptr;
  return views_[0] == &view ? views_[1] : views_[0];
}

bool Survey::regAddKeepsDriverFiles(const std::string& driver) const {
  return !isEarlierDriver(driver) || regAddKeeps_[driver == kDriverNames[GEN1] ? GEN1 : GEN2];
}

// reg /add registers the driver in each view that has the current driver's
// key and an ODBC Drivers key but no key of its own, with a copy of the
// current driver's values: its Driver file there becomes the current
// driver's. A data source compared with no file before, or matching one,
// must not be found mismatching afterwards.
void Survey::surveyRegAdd() {
  for (const DriverVersion version : {GEN1, GEN2}) {
    const std::string driver = kDriverNames[version];
    for (const PlaceInventory& place : inventory().places) {
      const std::vector<const PlaceInventory*> views = viewsUsing(inventory(), place);
      const std::vector<std::string> before = registeredFiles(views, driver);
      std::vector<std::string> after = before;
      for (const PlaceInventory* view : views) {
        if (isRegistered(*view, driver) || !view->hasDriverList) continue;
        const DriverRegistration* current = findRegistration(*view, kDriverNames[GEN3]);
        if (!current || !current->hasKey) continue;
        if (std::optional<std::string> file = current->driverFile()) after.push_back(*file);
      }
      if (after.size() == before.size()) continue;
      for (const FamilyDataSource& dataSource : place.dataSources) {
        if (dataSource.driver != driver) continue;
        const RegistryValue* value = dataSource.property("Driver");
        if (!value || value->type != REG_SZ) continue;
        const std::string text = value->text();
        if (mismatchesFiles(text, after) && !mismatchesFiles(text, before)) {
          regAddKeeps_[version] = false;
        }
      }
    }
  }
}

std::vector<std::string> registeredFiles(const std::vector<const PlaceInventory*>& views,
                                         const std::string& driver) {
  std::vector<std::string> files;
  for (const PlaceInventory* view : views) {
    const DriverRegistration* registration = findRegistration(*view, driver);
    if (!registration || !registration->hasKey) continue;
    if (std::optional<std::string> file = registration->driverFile()) files.push_back(*file);
  }
  return files;
}

bool mismatchesFiles(const std::string& driverValue, const std::vector<std::string>& files) {
  if (files.empty()) return false;
  for (const std::string& file : files) {
    if (sameRegistryName(file, driverValue)) return false;
  }
  return true;
}

}  // namespace dsnconf
