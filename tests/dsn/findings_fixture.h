// Small configurations built in memory for the finding rules' tests: the
// user's tree and the machine views with the current driver registered, and
// one line per finding to compare with.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dsn/family.h"
#include "dsn/findings.h"

namespace dsnconf::findings_test {

inline const std::string kGen1 = kDriverNames[GEN1];
inline const std::string kGen2 = kDriverNames[GEN2];
inline const std::string kGen3 = kDriverNames[GEN3];
inline const std::string kFile64 = "C:\\Program Files\\Ivorel\\ivorel.dll";
inline const std::string kFile32 = "C:\\Program Files (x86)\\Ivorel\\ivorel32.dll";

inline RegistryValue text(const std::string& name, const std::string& value) {
  return {name, REG_SZ, stringData(value)};
}

inline FamilyDataSource dataSource(const std::string& name, const std::string& driver,
                                   const std::string& file = "", bool hasKey = true) {
  FamilyDataSource result;
  result.name = name;
  result.driver = driver;
  result.hasKey = hasKey;
  if (!file.empty()) result.properties.push_back(text("Driver", file));
  return result;
}

inline DriverRegistration registration(const std::string& driver, const std::string& file,
                                       bool hasKey = true, bool listed = true) {
  DriverRegistration result;
  result.driver = driver;
  result.hasKey = hasKey;
  result.listed = listed;
  if (hasKey) result.values.push_back(text("Driver", file));
  return result;
}

// The user's tree and both machine views (or the one view), each view with
// the current driver registered.
inline Configuration healthy(bool twoViews = true) {
  Configuration configuration;
  configuration.inventory.places.resize(twoViews ? 3 : 2);
  configuration.inventory.places[0].place = &kUserPlace;
  if (twoViews) {
    configuration.inventory.places[1].place = &kSystem64Place;
    configuration.inventory.places[1].registrations.push_back(registration(kGen3, kFile64));
    configuration.inventory.places[1].hasDriverList = true;
  }
  configuration.inventory.places.back().place = &kSystem32Place;
  configuration.inventory.places.back().registrations.push_back(registration(kGen3, kFile32));
  configuration.inventory.places.back().hasDriverList = true;
  return configuration;
}

inline PlaceInventory& user(Configuration& c) {
  return c.inventory.places[0];
}
inline PlaceInventory& view64(Configuration& c) {
  return c.inventory.places[1];
}
inline PlaceInventory& view32(Configuration& c) {
  return c.inventory.places.back();
}

// "<severity> <id> <place> <dsn> <driver> | <fix>", one per finding.
// Each place's index of the names it holds, as the walk builds it.
inline void indexNames(Configuration& configuration) {
  for (PlaceInventory& place : configuration.inventory.places) indexHeldNames(place);
}

inline std::vector<std::string> summary(Configuration configuration) {
  indexNames(configuration);
  std::vector<std::string> lines;
  for (const Finding& finding : diagnose(configuration)) {
    std::string line = std::string(severityName(finding.severity)) + " " + finding.id + " " +
                       (finding.place ? finding.place->name : "file") + " " +
                       finding.dsn.value_or("-") + " " + finding.driver.value_or("-") + " | " +
                       finding.fix.value_or("no fix");
    lines.push_back(line);
  }
  return lines;
}

struct Case {
  const char* title;
  std::function<void(Configuration&)> arrange;
  std::vector<std::string> expected;
  bool twoViews = true;
};

inline void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Configuration configuration = healthy(c.twoViews);
    c.arrange(configuration);
    EXPECT_EQ(summary(configuration), c.expected) << c.title;
  }
}

// The fix of one finding made by `arrange`, or "no fix".
inline std::string onlyFix(const std::function<void(Configuration&)>& arrange) {
  Configuration configuration = healthy();
  arrange(configuration);
  indexNames(configuration);
  const std::vector<Finding> findings = diagnose(configuration);
  if (findings.size() != 1) return std::to_string(findings.size()) + " findings";
  return findings[0].fix.value_or("no fix");
}

struct HintRow {
  std::string text;
  std::string fix;
};

}  // namespace dsnconf::findings_test
