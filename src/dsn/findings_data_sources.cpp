// The rules about the family's listed data sources and their drivers.
#include "dsn/family.h"
#include "dsn/finding_rules.h"
#include "dsn/repair_hints.h"
#include "platform/wide_registry.h"

namespace dsnconf {

void findListedWithoutKey(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (dataSource.hasKey) continue;
      Finding finding = dataSourceFinding("listed-without-key", Severity::Error, place, dataSource);
      finding.message = "the data-source list names it but its key ODBC.INI\\" + dataSource.name +
                        " does not exist, so no application can use it";
      // remove takes the place from its command line and, unlike view and
      // name, removes an entry whose key is gone.
      if (isHintableName(dataSource.name)) {
        finding.fix = placeHint("remove", *place.place, dataSource.name);
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findDriverNotRegistered(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(survey.inventory(), place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (registeredInAny(views, dataSource.driver)) continue;
      Finding finding =
          dataSourceFinding("driver-not-registered", Severity::Error, place, dataSource);
      finding.message = "its driver is not registered in " + viewsText(survey, place);
      finding.fix = registerHint(survey, views, dataSource.driver);
      findings.push_back(std::move(finding));
    }
  }
}

void findDriverFileMismatch(const Survey& survey, Findings& findings) {
  const Inventory& inventory = survey.inventory();
  for (const PlaceInventory& place : inventory.places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(inventory, place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      const RegistryValue* driver = dataSource.property("Driver");
      if (!driver || driver->type != REG_SZ) continue;
      const std::vector<std::string> files = registeredFiles(views, dataSource.driver);
      if (!mismatchesFiles(driver->text(), files)) continue;
      Finding finding =
          dataSourceFinding("driver-file-mismatch", Severity::Warning, place, dataSource);
      finding.message = "its Driver value " + quoted(driver->text()) +
                        " is not the file its driver is registered with in " +
                        viewsText(survey, place) + ", " + quoted(files.front());
      // set reads its value through the ANSI command line into the buffer
      // view reads it back from.
      if (reachedByDsnTarget(inventory, place, dataSource.name) && ansiCarries(files.front()) &&
          ansiLength(files.front()) < kValueDataBuffer) {
        finding.fix = dsnconfLine({"set", "/dsn", dataSource.name, "Driver", files.front()});
      }
      findings.push_back(std::move(finding));
    }
  }
}

void findShadowed(const Survey& survey, Findings& findings) {
  const PlaceInventory* user = survey.inventory().find(kUserPlace);
  if (!user) return;
  for (const FamilyDataSource& dataSource : user->dataSources) {
    for (const PlaceInventory* view : survey.machineViews()) {
      if (!survey.familyDataSource(*view, dataSource.name)) continue;
      Finding finding = dataSourceFinding("shadowed", Severity::Info, *user, dataSource);
      finding.message = "it hides the " + std::string(view->place->name) +
                        " data source of the same name from this user's applications";
      findings.push_back(std::move(finding));
    }
  }
}

namespace {

// name /dsn only changes the list entry: the data source then uses the
// current driver, which must be registered where it is used, and its Driver
// value must not come to mismatch the current driver's files where it
// matched the earlier driver's (or was compared with none).
bool switchKeepsDriverFile(const std::vector<const PlaceInventory*>& views,
                           const FamilyDataSource& dataSource) {
  if (!registeredInAny(views, kDriverNames[GEN3])) return false;
  const RegistryValue* driver = dataSource.property("Driver");
  if (!driver || driver->type != REG_SZ) return true;
  const std::string file = driver->text();
  return !mismatchesFiles(file, registeredFiles(views, kDriverNames[GEN3])) ||
         mismatchesFiles(file, registeredFiles(views, dataSource.driver));
}

}  // namespace

void findEarlierDriver(const Survey& survey, Findings& findings) {
  const Inventory& inventory = survey.inventory();
  for (const PlaceInventory& place : inventory.places) {
    const std::vector<const PlaceInventory*> views = viewsUsing(inventory, place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      if (!isEarlierDriver(dataSource.driver)) continue;
      Finding finding = dataSourceFinding("earlier-driver", Severity::Info, place, dataSource);
      finding.message = std::string("it still uses an earlier driver name (") +
                        versionWord(dataSource.driver) + ")";
      if (reachedByDsnTarget(inventory, place, dataSource.name) &&
          switchKeepsDriverFile(views, dataSource)) {
        finding.fix = dsnconfLine({"name", "/dsn", dataSource.name, "GEN3"});
      }
      findings.push_back(std::move(finding));
    }
  }
}

}  // namespace dsnconf
