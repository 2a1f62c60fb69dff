// The rules about the values data sources hold: copies of a system data
// source that differ between the machine views, strings too long for the
// first commands, and passwords kept as clear text.
#include <utility>

#include "dsn/family_walk.h"
#include "dsn/finding_rules.h"
#include "dsn/passwords.h"
#include "dsn/property_checks.h"
#include "dsn/repair_hints.h"
#include "dsn/target.h"
#include "platform/wide_registry.h"

namespace dsnconf {
namespace {

std::string joinedNames(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// The change line that makes the copy in `target` match the other: each
// differing value set as the other copy holds it, each it lacks removed.
// None where a value is no plain string (change writes REG_SZ text and its
// terminator), a password would be printed, a value would be too long for
// the first commands to read back, or a name is no property change takes.
std::optional<std::string> matchingHint(const Place& target, const std::string& name,
                                        const std::vector<PropertyDifference>& differences) {
  std::vector<std::string> settings;
  std::vector<std::string> removals;
  for (const PropertyDifference& difference : differences) {
    if (!isHintableProperty(difference.name())) return std::nullopt;
    if (!difference.wanted) {
      removals.push_back(difference.current->name);
      continue;
    }
    const RegistryValue& value = *difference.wanted;
    if (value.type != REG_SZ || isPasswordProperty(value.name) || !fitsValueBuffer(value) ||
        stringData(value.text()) != value.data) {
      return std::nullopt;
    }
    settings.push_back(value.name + "=" + value.text());
  }
  return changeHint(placeWords(target), name, settings, removals);
}

// A data source's properties whole: as the walk kept them, or read again
// where it kept their digest alone. Null where they cannot be read now.
const std::vector<RegistryValue>* wholeProperties(const PlaceInventory& place,
                                                  const FamilyDataSource& dataSource,
                                                  std::vector<RegistryValue>& read) {
  if (!dataSource.digest) return &dataSource.properties;
  if (readPropertiesOf(*place.place, dataSource.name, read) != ERROR_SUCCESS) return nullptr;
  return &read;
}

std::vector<PropertyDifference> reversed(std::vector<PropertyDifference> differences) {
  for (PropertyDifference& difference : differences) {
    std::swap(difference.wanted, difference.current);
  }
  return differences;
}

}  // namespace

// The 32-bit copy is made to match the 64-bit one, which view and set reach
// first; where no line can do that, the 64-bit copy is made to match.
void findViewsDiffer(const Survey& survey, Findings& findings) {
  if (survey.machineViews().size() != 2) return;
  const PlaceInventory& view64 = *survey.machineViews()[0];
  const PlaceInventory& view32 = *survey.machineViews()[1];
  for (const FamilyDataSource& copy32 : view32.dataSources) {
    const FamilyDataSource* copy64 = survey.familyDataSource(view64, copy32.name);
    if (!copy32.hasKey || !copy64 || !copy64->hasKey) continue;
    if (copy64->digest && copy32.digest && *copy64->digest == *copy32.digest) continue;
    std::vector<RegistryValue> read64;
    std::vector<RegistryValue> read32;
    const std::vector<RegistryValue>* values64 = wholeProperties(view64, *copy64, read64);
    const std::vector<RegistryValue>* values32 = wholeProperties(view32, copy32, read32);
    if (!values64 || !values32) continue;
    const std::vector<PropertyDifference> differences = propertyDifferences(*values64, *values32);
    if (differences.empty()) continue;
    std::vector<std::string> names;
    for (const PropertyDifference& difference : differences) names.push_back(difference.name());
    Finding finding = dataSourceFinding("views-differ", Severity::Warning, view32, copy32);
    finding.message =
        "its values differ from those of the 64-bit system data source of the "
        "same name (" +
        joinedNames(names) + "; each view keeps its own Driver file)";
    if (isHintableName(copy32.name)) {
      finding.fix = matchingHint(*view32.place, copy32.name, differences);
      if (!finding.fix)
        finding.fix = matchingHint(*view64.place, copy32.name, reversed(differences));
    }
    findings.push_back(std::move(finding));
  }
}

void findValueTooLong(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      for (const RegistryValue& value : dataSource.properties) {
        if (fitsValueBuffer(value)) continue;
        Finding finding = dataSourceFinding("value-too-long", Severity::Warning, place, dataSource);
        finding.message = "its property " + quoted(value.name) + " holds " +
                          std::to_string(ansiDataLength(value)) +
                          " bytes of text with its terminator, more than the 1024 bytes that "
                          "view and set read a property into, so they cannot read it back";
        findings.push_back(std::move(finding));
      }
    }
  }
}

namespace {

// change /remove, in the data source's own view; in every machine view
// where the other view's copy holds the same passwords, so that removing
// them from one copy alone does not make the copies differ.
std::optional<std::string> registryPasswordHint(const Survey& survey, const PlaceInventory& place,
                                                const FamilyDataSource& dataSource,
                                                const std::vector<std::string>& names) {
  if (!isHintableName(dataSource.name)) return std::nullopt;
  std::vector<std::string> words = placeWords(*place.place);
  const PlaceInventory* other = survey.otherView(place);
  const FamilyDataSource* copy = other ? survey.familyDataSource(*other, dataSource.name) : nullptr;
  if (copy && copy->hasKey) {
    bool same = true;
    for (const std::string& name : names) {
      const RegistryValue* mine = dataSource.property(name.c_str());
      const RegistryValue* theirs = copy->property(name.c_str());
      same = same && theirs && theirs->type == mine->type && theirs->data == mine->data;
    }
    if (same) words = {"/system"};
  }
  return changeHint(words, dataSource.name, {}, names);
}

std::string passwordMessage(const std::vector<std::string>& names, const char* readers) {
  return "it keeps a password (" + joinedNames(names) + ") as clear text, which " + readers +
         " can read";
}

// delete /fdsn removes one key, and reads its command line as ANSI text.
std::optional<std::string> filePasswordHint(const FileDataSource& file) {
  if (file.passwordKeys.size() != 1 || !file.isTarget || file.path.size() > kMaxTargetName ||
      !ansiCarries(file.path) || !ansiCarries(file.passwordKeys.front())) {
    return std::nullopt;
  }
  return dsnconfLine({"delete", "/fdsn", file.path, file.passwordKeys.front()});
}

}  // namespace

void findPasswordStored(const Survey& survey, Findings& findings) {
  for (const PlaceInventory& place : survey.inventory().places) {
    for (const FamilyDataSource& dataSource : place.dataSources) {
      const std::vector<std::string> names = storedPasswords(dataSource.properties);
      if (names.empty()) continue;
      Finding finding = dataSourceFinding("password-stored", Severity::Warning, place, dataSource);
      finding.message = passwordMessage(names, place.place->scope == Scope::System
                                                   ? "every user of the machine"
                                                   : "this user and administrators");
      finding.fix = registryPasswordHint(survey, place, dataSource, names);
      findings.push_back(std::move(finding));
    }
  }
  for (const FileDataSource& file : survey.configuration().files) {
    if (file.passwordKeys.empty()) continue;
    Finding finding;
    finding.id = "password-stored";
    finding.severity = Severity::Warning;
    finding.file = file.path;
    finding.dsn = file.path;
    finding.driver = file.driver;
    finding.message = passwordMessage(file.passwordKeys, "everyone who may read the file");
    finding.fix = filePasswordHint(file);
    findings.push_back(std::move(finding));
  }
}

}  // namespace dsnconf
