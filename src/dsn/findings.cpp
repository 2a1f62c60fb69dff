#include "dsn/findings.h"

#include "dsn/finding_rules.h"
#include "dsn/repair_hints.h"

namespace dsnconf {
namespace {

using FindingRule = void (*)(const Survey&, Findings&);

// The order in which findings are reported: the order of the README's table.
const FindingRule kRules[] = {
    findListedWithoutKey,   findDriverNotRegistered,
    findDriverFileMismatch, findUnlistedKey,
    findUnreadableEntry,    findShadowed,
    findTracingOn,          findRegistrationIncomplete,
    findEarlierDriver,      findFileDsnDriver,
    findViewsDiffer,        findValueTooLong,
    findPasswordStored,
};

}  // namespace

std::string quoted(const std::string& text) {
  return "'" + text + "'";
}

std::string viewsText(const Survey& survey, const PlaceInventory& place) {
  if (place.place->scope == Scope::System) return "the " + std::string(place.place->name) + " view";
  return survey.hasOneMachineView() ? "the system view" : "either system view";
}

Finding dataSourceFinding(const char* id, Severity severity, const PlaceInventory& place,
                          const FamilyDataSource& dataSource) {
  Finding finding;
  finding.id = id;
  finding.severity = severity;
  finding.place = place.place;
  finding.dsn = dataSource.name;
  finding.driver = dataSource.driver;
  return finding;
}

std::optional<std::string> placeHint(const char* verb, const Place& place,
                                     const std::string& last) {
  std::vector<std::string> arguments = {verb};
  for (std::string& word : placeWords(place)) arguments.push_back(std::move(word));
  arguments.push_back(last);
  return dsnconfLine(arguments);
}

std::vector<Finding> diagnose(const Configuration& configuration) {
  const Survey survey(configuration);
  std::vector<Finding> findings;
  for (FindingRule rule : kRules) rule(survey, findings);
  return findings;
}

const char* severityName(Severity severity) {
  switch (severity) {
    case Severity::Error:
      return "error";
    case Severity::Warning:
      return "warning";
    case Severity::Info:
      break;
  }
  return "info";
}

}  // namespace dsnconf
