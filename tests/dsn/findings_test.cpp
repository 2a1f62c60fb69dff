// The finding rules over small configurations built in memory: which states
// are found, where, and which repair is offered (and where none may be).
#include "dsn/findings.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "dsn/family.h"
#include "dsn/repair_hints.h"

namespace dsnconf {
namespace {

const std::string kGen1 = kDriverNames[GEN1];
const std::string kGen2 = kDriverNames[GEN2];
const std::string kGen3 = kDriverNames[GEN3];
const std::string kFile64 = "C:\\Program Files\\Ivorel\\ivorel.dll";
const std::string kFile32 = "C:\\Program Files (x86)\\Ivorel\\ivorel32.dll";

RegistryValue text(const std::string& name, const std::string& value) {
  return {name, REG_SZ, stringData(value)};
}

FamilyDataSource dataSource(const std::string& name, const std::string& driver,
                            const std::string& file = "", bool hasKey = true) {
  FamilyDataSource result;
  result.name = name;
  result.driver = driver;
  result.hasKey = hasKey;
  if (!file.empty()) result.properties.push_back(text("Driver", file));
  return result;
}

DriverRegistration registration(const std::string& driver, const std::string& file,
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
Configuration healthy(bool twoViews = true) {
  Configuration configuration;
  configuration.inventory.places.resize(twoViews ? 3 : 2);
  configuration.inventory.places[0].place = &kUserPlace;
  if (twoViews) {
    configuration.inventory.places[1].place = &kSystem64Place;
    configuration.inventory.places[1].registrations.push_back(registration(kGen3, kFile64));
  }
  configuration.inventory.places.back().place = &kSystem32Place;
  configuration.inventory.places.back().registrations.push_back(registration(kGen3, kFile32));
  return configuration;
}

PlaceInventory& user(Configuration& c) {
  return c.inventory.places[0];
}
PlaceInventory& view64(Configuration& c) {
  return c.inventory.places[1];
}
PlaceInventory& view32(Configuration& c) {
  return c.inventory.places.back();
}

// "<severity> <id> <place> <dsn> <driver> | <fix>", one per finding.
std::vector<std::string> summary(const Configuration& configuration) {
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

void runCases(const std::vector<Case>& cases) {
  for (const Case& c : cases) {
    Configuration configuration = healthy(c.twoViews);
    c.arrange(configuration);
    for (PlaceInventory& place : configuration.inventory.places) indexHeldNames(place);
    EXPECT_EQ(summary(configuration), c.expected) << c.title;
  }
}

TEST(Findings, DataSourcesAndTheirDrivers) {
  runCases({
      {"a healthy configuration: a user data source may use the file of either view",
       [](Configuration& c) {
         user(c).dataSources.push_back(dataSource("Payroll", kGen3, kFile32));
         view64(c).dataSources.push_back(dataSource("Sales", kGen3, kFile64));
         view32(c).dataSources.push_back(dataSource("Orders", kGen3,
                                                    "c:\\program files (x86)"
                                                    "\\ivorel\\IVOREL32.DLL"));
       },
       {}},
      {"a list entry without its key; remove names the place",
       [](Configuration& c) {
         user(c).dataSources.push_back(dataSource("Gone", kGen3, "", false));
       },
       {"error listed-without-key user Gone Ivorel ODBC Driver | dsnconf remove /user Gone"}},
      {"a machine entry without its key behind a user data source of that name: remove takes "
       "the place it is told",
       [](Configuration& c) {
         user(c).dataSources.push_back(dataSource("Gone", kGen3, kFile64));
         view32(c).dataSources.push_back(dataSource("GONE", kGen3, "", false));
       },
       {"error listed-without-key 32-bit system GONE Ivorel ODBC Driver | dsnconf remove /system "
        "/32 GONE",
        "info shadowed user Gone Ivorel ODBC Driver | no fix"}},
      {"names a command line cannot carry or the installer refuses get no hint",
       [](Configuration& c) {
         view64(c).dataSources.push_back(dataSource("/64", kGen3, "", false));
         view64(c).dataSources.push_back(dataSource("Say \"hi\"", kGen3, "", false));
         view64(c).dataSources.push_back(dataSource("A;B", kGen3, "", false));
         view64(c).dataSources.push_back(dataSource("Old Orders", kGen3, "", false));
       },
       {"error listed-without-key 64-bit system /64 Ivorel ODBC Driver | no fix",
        "error listed-without-key 64-bit system Say \"hi\" Ivorel ODBC Driver | no fix",
        "error listed-without-key 64-bit system A;B Ivorel ODBC Driver | no fix",
        "error listed-without-key 64-bit system Old Orders Ivorel ODBC Driver | dsnconf remove "
        "/system /64 \"Old Orders\""}},
      {"an entry of another driver in the user's list comes first for set /dsn",
       [](Configuration& c) {
         user(c).otherEntries.push_back("sales");
         view64(c).dataSources.push_back(dataSource("Sales", kGen3, kFile32));
       },
       {"warning driver-file-mismatch 64-bit system Sales Ivorel ODBC Driver | no fix"}},
      {"an earlier driver unregistered in its view is registered by reg /add",
       [](Configuration& c) {
         view32(c).dataSources.push_back(dataSource("Legacy Orders", kGen1, kFile32));
         view64(c).registrations.push_back(registration(kGen1, kFile64));
       },
       {"error driver-not-registered 32-bit system Legacy Orders Brenmoor ODBC Driver (32-bit) | "
        "dsnconf reg /add GEN1",
        "info earlier-driver 32-bit system Legacy Orders Brenmoor ODBC Driver (32-bit) | "
        "dsnconf name /dsn \"Legacy Orders\" GEN3"}},
      {"the current driver missing from a view: no dsnconf command installs it",
       [](Configuration& c) {
         view64(c).registrations.clear();
         view64(c).dataSources.push_back(dataSource("Sales", kGen3, kFile64));
       },
       {"error driver-not-registered 64-bit system Sales Ivorel ODBC Driver | no fix"}},
      {"a user data source needs its driver in one view only",
       [](Configuration& c) {
         view32(c).registrations.push_back(registration(kGen2, kFile32));
         user(c).dataSources.push_back(dataSource("Archive", kGen2, kFile32));
       },
       {"info earlier-driver user Archive Sarvonet ODBC Driver | dsnconf name /dsn Archive GEN3"}},
      {"a user data source whose driver neither view has, on a system of one view",
       [](Configuration& c) { user(c).dataSources.push_back(dataSource("Archive", kGen2)); },
       {"error driver-not-registered user Archive Sarvonet ODBC Driver | dsnconf reg /add GEN2",
        "info earlier-driver user Archive Sarvonet ODBC Driver | dsnconf name /dsn Archive GEN3"},
       false},
      {"a Driver file of the other view, and a name the installer refuses gets no hint",
       [](Configuration& c) {
         view64(c).dataSources.push_back(dataSource("Sales", kGen3, kFile32));
         view64(c).dataSources.push_back(dataSource("A=B", kGen3, kFile32));
       },
       {"warning driver-file-mismatch 64-bit system Sales Ivorel ODBC Driver | dsnconf set /dsn "
        "Sales Driver \"" +
            kFile64 + "\"",
        "warning driver-file-mismatch 64-bit system A=B Ivorel ODBC Driver | no fix"}},
      {"without a Driver value, or as a number, nothing is compared",
       [](Configuration& c) {
         view64(c).dataSources.push_back(dataSource("Sales", kGen3));
         view64(c).dataSources.back().properties.push_back({"Driver", REG_DWORD, "\1\0\0\0"});
       },
       {}},
  });
}

TEST(Findings, KeysEntriesTracingAndRegistrations) {
  runCases({
      {"a key no list names is the family's when its Driver is a registered file",
       [](Configuration& c) {
         user(c).unlistedKeys.push_back({"Stray", kFile32});
         user(c).unlistedKeys.push_back({"Sheets", std::string("C:\\acme.dll")});
         view64(c).unlistedKeys.push_back({"Bare", std::nullopt});
       },
       {"warning unlisted-key user Stray Ivorel ODBC Driver | no fix"}},
      {"list entries the walks skip",
       [](Configuration& c) {
         view32(c).unreadableEntries.push_back(
             {"Numbered", REG_DWORD, "", EntryProblem::NotAString});
         view32(c).unreadableEntries.push_back({"Wide", REG_SZ, "", EntryProblem::TooLong});
       },
       {"warning unreadable-entry 32-bit system Numbered - | no fix",
        "warning unreadable-entry 32-bit system Wide - | no fix"}},
      {"tracing on for the user and each view; Trace \"0\" or \"10\" is off",
       [](Configuration& c) {
         user(c).tracing.trace = text("Trace", "1");
         view64(c).tracing.trace = text("Trace", "1");
         view32(c).tracing.trace = text("Trace", "10");
       },
       {"warning tracing-on user - - | dsnconf trace /user off",
        "warning tracing-on 64-bit system - - | dsnconf trace /system /64 off"}},
      {"the one view of a 32-bit system is switched off as /32",
       [](Configuration& c) { view32(c).tracing.trace = text("Trace", "1"); },
       {"warning tracing-on 32-bit system - - | dsnconf trace /system /32 off"},
       false},
      {"half-made registrations of earlier drivers; the current driver's are not judged",
       [](Configuration& c) {
         view64(c).registrations.push_back(registration(kGen2, kFile64, true, false));
         view32(c).registrations.push_back(registration(kGen1, "", false, true));
         view64(c).registrations.push_back(registration(kGen1, "", false, true));
         view64(c).registrations[0].listed = false;
       },
       {"warning registration-incomplete 64-bit system - Sarvonet ODBC Driver | dsnconf reg /del "
        "GEN2",
        "warning registration-incomplete 64-bit system - Brenmoor ODBC Driver (32-bit) | dsnconf "
        "reg /add GEN1",
        "warning registration-incomplete 32-bit system - Brenmoor ODBC Driver (32-bit) | dsnconf "
        "reg /add GEN1"}},
      {"an entry without its key cannot be copied where the current driver is missing",
       [](Configuration& c) {
         view32(c).registrations.clear();
         view32(c).registrations.push_back(registration(kGen2, "", false, true));
       },
       {"warning registration-incomplete 32-bit system - Sarvonet ODBC Driver | no fix"},
       false},
      {"file data sources whose driver no view has",
       [](Configuration& c) {
         c.files.push_back({"old.dsn", kGen1});
         c.files.push_back({"current.dsn", kGen3});
         view64(c).registrations.clear();
         view32(c).registrations.clear();
         view32(c).registrations.push_back(registration(kGen2, kFile32));
         c.files.push_back({"middle.dsn", kGen2});
       },
       {"warning file-dsn-driver file old.dsn Brenmoor ODBC Driver (32-bit) | no fix",
        "warning file-dsn-driver file current.dsn Ivorel ODBC Driver | no fix"}},
      {"with the current driver registered, reg /add repairs an earlier one",
       [](Configuration& c) {
         c.files.push_back({"old.dsn", kGen1});
       },
       {"warning file-dsn-driver file old.dsn Brenmoor ODBC Driver (32-bit) | dsnconf reg /add "
        "GEN1"}},
  });
}

TEST(Findings, TheTraceFileInForce) {
  struct TraceCase {
    const char* userFile;
    const char* machineFile;
    bool userTrace;
    const char* expected;
  };
  const TraceCase cases[] = {
      {"C:\\user.log", "C:\\machine.log", false, "'C:\\user.log'"},
      {nullptr, "C:\\machine.log", false, "'C:\\machine.log'"},
      {nullptr, nullptr, false, "the default trace file (no TraceFile is set)"},
      // The user's own tracing never takes a machine's file.
      {nullptr, "C:\\machine.log", true, "the default trace file (no TraceFile is set)"},
  };
  for (const TraceCase& c : cases) {
    Configuration configuration = healthy();
    if (c.userFile) user(configuration).tracing.traceFile = text("TraceFile", c.userFile);
    if (c.machineFile) view64(configuration).tracing.traceFile = text("TraceFile", c.machineFile);
    (c.userTrace ? user(configuration) : view64(configuration)).tracing.trace = text("Trace", "1");
    const std::vector<Finding> findings = diagnose(configuration);
    ASSERT_EQ(findings.size(), 1u);
    const std::string& message = findings[0].message;
    EXPECT_EQ(message.substr(message.size() - std::string(c.expected).size()), c.expected)
        << message;
  }
}

TEST(Findings, HintsQuoteArgumentsWithBlanks) {
  EXPECT_EQ(commandArgument("Payroll"), "Payroll");
  EXPECT_EQ(commandArgument("Legacy Orders"), "\"Legacy Orders\"");
  EXPECT_EQ(commandArgument("a\tb"), "\"a\tb\"");
  EXPECT_EQ(commandArgument(""), "\"\"");
}

}  // namespace
}  // namespace dsnconf
