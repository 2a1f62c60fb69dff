// The finding rules, one function per finding id, and what they share. Each
// rule appends its findings in the order of the places (user, 64-bit,
// 32-bit) and of their lists; diagnose runs them in the order of the table.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dsn/finding.h"
#include "dsn/finding_survey.h"

namespace dsnconf {

using Findings = std::vector<Finding>;

std::string quoted(const std::string& text);

// "the 64-bit system view", "either system view" or "the system view": the
// views a data source of the place is used from.
std::string viewsText(const Survey& survey, const PlaceInventory& place);

Finding dataSourceFinding(const char* id, Severity severity, const PlaceInventory& place,
                          const FamilyDataSource& dataSource);

// "dsnconf <verb> <the place's words> <last>".
std::optional<std::string> placeHint(const char* verb, const Place& place, const std::string& last);

// Data sources and their drivers (findings_data_sources.cpp).
void findListedWithoutKey(const Survey& survey, Findings& findings);
void findDriverNotRegistered(const Survey& survey, Findings& findings);
void findDriverFileMismatch(const Survey& survey, Findings& findings);
void findShadowed(const Survey& survey, Findings& findings);
void findEarlierDriver(const Survey& survey, Findings& findings);

// Keys no list names (findings_unlisted_keys.cpp).
void findUnlistedKey(const Survey& survey, Findings& findings);

// List entries, tracing, registrations and file data sources
// (findings_settings.cpp).
void findUnreadableEntry(const Survey& survey, Findings& findings);
void findTracingOn(const Survey& survey, Findings& findings);
void findRegistrationIncomplete(const Survey& survey, Findings& findings);
void findFileDsnDriver(const Survey& survey, Findings& findings);

// The values data sources hold (findings_values.cpp).
void findViewsDiffer(const Survey& survey, Findings& findings);
void findValueTooLong(const Survey& survey, Findings& findings);
void findPasswordStored(const Survey& survey, Findings& findings);

}  // namespace dsnconf
