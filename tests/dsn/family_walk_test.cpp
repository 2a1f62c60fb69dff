// The walk as a stream: what its visitor is handed and when, what a place's
// record keeps once a data source has been handed on, the choices of places,
// of one name and of the lists alone, going on past what cannot be read, and
// the index of the names each place holds.
#include "dsn/family_walk.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry_fixture.h"
#include "wide_data.h"

namespace dsnconf::test {
namespace {

const char* const kUser = R"reg(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Payroll"="Ivorel ODBC Driver"
"Sheets"="Acme Text Driver"
"Gone"="Sarvonet ODBC Driver"
"Numbered"=dword:00000001

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Payroll]
"Server"="db"
"driver"="C:\\ivorel.dll"
"PWD"="secret"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Payroll\Engines]
"Threads"=dword:00000003

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Stray]
"Driver"="C:\\ivorel.dll"
)reg";

const char* const kMachine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Sales"="Ivorel ODBC Driver"
"Payroll"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Sales]
"Server"="sales-db"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Payroll]
"Server"="machine-db"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"Payroll"="Brenmoor ODBC Driver (32-bit)"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Payroll]
"Server"="legacy-db"
)reg";

// Writes down every call, and keeps the records of the places it was given.
class Recorder : public FamilyVisitor {
 public:
  PlaceInventory& placeStarted(const Place& place) override {
    calls.push_back(std::string("start ") + place.name);
    return places.emplace_back();
  }
  void listRead(const PlaceInventory& place) override {
    calls.push_back("list " + std::to_string(place.dataSources.size()));
  }
  void dataSource(const PlaceInventory& place, FamilyDataSource& dataSource) override {
    std::string call = std::string(place.place->name) + " " + dataSource.name + ":";
    for (const RegistryValue& value : dataSource.properties) call += " " + value.name;
    for (const Subkey& subkey : dataSource.subkeys) call += " [" + subkey.path + "]";
    calls.push_back(call);
  }
  void placeRead(const PlaceInventory& place) override {
    calls.push_back(std::string("read ") + place.place->name);
  }
  bool goOnAfter(const PlaceInventory& place, const FamilyDataSource* failed,
                 const InventoryFailure& failure) override {
    calls.push_back(std::string("failed ") + place.place->name + " " +
                    (failed ? failed->name : std::string("-")) + " " +
                    std::to_string(failure.status));
    return goOn;
  }

  bool goOn = false;
  std::vector<std::string> calls;
  std::vector<PlaceInventory> places;
};

class FamilyWalkTest : public RegistryTest {
 protected:
  void seed(const std::string& user = kUser, const std::string& machine = kMachine) {
    writeFile(userHive(), user);
    writeFile(machineHive(), machine);
    restart();
  }

  LSTATUS walk(const WalkOptions& options, Recorder& recorder) {
    InventoryFailure failure;
    return walkFamily(options, recorder, failure);
  }
};

TEST_F(FamilyWalkTest, EachDataSourceIsHandedOnWholeBetweenItsListAndTheRestOfItsPlace) {
  seed();
  Recorder recorder;
  ASSERT_EQ(walk(WalkOptions(), recorder), ERROR_SUCCESS);
  const std::vector<std::string> expected = {
      "start user",
      "list 2",
      "user Payroll: Server driver PWD [Engines]",
      "user Gone:",
      "read user",
      "start 64-bit system",
      "list 2",
      "64-bit system Sales: Server",
      "64-bit system Payroll: Server",
      "read 64-bit system",
      "start 32-bit system",
      "list 1",
      "32-bit system Payroll: Server",
      "read 32-bit system",
  };
  EXPECT_EQ(recorder.calls, expected);
}

TEST_F(FamilyWalkTest, ThePlacesRecordKeepsWhatItIsAskedToOfEachDataSource) {
  seed();
  struct KeptCase {
    KeptValues kept;
    std::vector<std::string> properties;  // of the user's Payroll, afterwards
    std::size_t subkeys;
  };
  const KeptCase cases[] = {
      {KeptValues::None, {}, 0},
      {KeptValues::Driver, {"driver"}, 0},
      {KeptValues::All, {"Server", "driver", "PWD"}, 1},
  };
  for (const KeptCase& c : cases) {
    WalkOptions options;
    options.kept = c.kept;
    Recorder recorder;
    ASSERT_EQ(walk(options, recorder), ERROR_SUCCESS);
    const FamilyDataSource& payroll = recorder.places[0].dataSources.at(0);
    std::vector<std::string> names;
    for (const RegistryValue& value : payroll.properties) names.push_back(value.name);
    EXPECT_EQ(names, c.properties) << static_cast<int>(c.kept);
    EXPECT_EQ(payroll.subkeys.size(), c.subkeys) << static_cast<int>(c.kept);
    // The list entry stays but for the finding rules, which ask only its driver.
    EXPECT_EQ(payroll.entryData,
              c.kept == KeptValues::Driver ? std::string() : u"Ivorel ODBC Driver\0"_w);
    EXPECT_EQ(payroll.driver, "Ivorel ODBC Driver");
    EXPECT_TRUE(payroll.hasKey);
    EXPECT_FALSE(recorder.places[0].dataSources.at(1).hasKey);
  }
}

TEST_F(FamilyWalkTest, ChosenPlacesOneNameAndTheListsAlone) {
  seed();
  WalkOptions options;
  options.places = {&kSystem32Place, &kUserPlace};
  options.name = "PAYROLL";
  options.parts = PlaceParts::None;
  Recorder recorder;
  ASSERT_EQ(walk(options, recorder), ERROR_SUCCESS);
  const std::vector<std::string> expected = {
      "start 32-bit system", "list 1", "32-bit system Payroll: Server", "read 32-bit system",
      "start user",          "list 1", "user Payroll: Server driver PWD [Engines]",
      "read user",
  };
  EXPECT_EQ(recorder.calls, expected);
  // Neither tracing, nor keys no list names, nor registrations were read.
  EXPECT_TRUE(recorder.places[1].unlistedKeys.empty());
  EXPECT_TRUE(recorder.places[0].registrations.empty());

  options.places = {&kSystem64Place};
  options.name = "Nowhere";
  Recorder none;
  ASSERT_EQ(walk(options, none), ERROR_SUCCESS);
  EXPECT_EQ(none.calls, (std::vector<std::string>{"start 64-bit system", "list 0",
                                                   "read 64-bit system"}));
}

TEST_F(FamilyWalkTest, ThePartsOfEachPlaceReadBesidesItsDataSources) {
  std::string user = kUser;
  user += "\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC]\n\"Trace\"=\"1\"\n";
  seed(user);
  struct PartsCase {
    PlaceParts parts;
    bool unlistedKeys;  // of the user's tree
    bool tracing;       // of the user's tree
    bool registrations; // of the 64-bit view
  };
  const PartsCase cases[] = {
      {PlaceParts::All, true, true, true},
      {PlaceParts::TracingAndRegistrations, false, true, true},
      {PlaceParts::None, false, false, false},
  };
  for (const PartsCase& c : cases) {
    WalkOptions options;
    options.parts = c.parts;
    Recorder recorder;
    ASSERT_EQ(walk(options, recorder), ERROR_SUCCESS);
    const int parts = static_cast<int>(c.parts);
    EXPECT_EQ(!recorder.places[0].unlistedKeys.empty(), c.unlistedKeys) << parts;
    EXPECT_EQ(recorder.places[0].tracing.trace.has_value(), c.tracing) << parts;
    EXPECT_EQ(!recorder.places[1].registrations.empty(), c.registrations) << parts;
    // The names a place holds are indexed for the repair hints of check alone.
    EXPECT_EQ(holdsName(recorder.places[0], "Stray"), c.unlistedKeys) << parts;
  }
}

TEST_F(FamilyWalkTest, AVisitorMayGoOnPastWhatCannotBeRead) {
  // A name longer than a key's may be listed, but no key of that name opens.
  const std::string longName(300, 'L');
  std::string user = kUser;
  user += "\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n\"" + longName +
          "\"=\"Ivorel ODBC Driver\"\n";
  seed(user, "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\x\n");

  Recorder stops;
  EXPECT_EQ(walk(WalkOptions(), stops), ERROR_INVALID_PARAMETER);
  EXPECT_EQ(stops.calls.back(), "failed user " + longName + " 87");

  Recorder goesOn;
  goesOn.goOn = true;
  EXPECT_EQ(walk(WalkOptions(), goesOn), ERROR_SUCCESS);
  const std::vector<std::string> expected = {
      "start user",
      "list 3",
      "user Payroll: Server driver PWD [Engines]",
      "user Gone:",
      "failed user " + longName + " 87",
      "read user",
      // The machine's hive cannot be parsed: each view's list fails alone.
      "start 64-bit system",
      "failed 64-bit system - 1009",
      "start 32-bit system",
      "failed 32-bit system - 1009",
  };
  EXPECT_EQ(goesOn.calls, expected);
}

TEST_F(FamilyWalkTest, EachPlaceIndexesEveryNameItHoldsAsTheRegistryComparesThem) {
  seed();
  Inventory inventory;
  InventoryFailure failure;
  ASSERT_EQ(readInventory(inventory, failure), ERROR_SUCCESS);
  const PlaceInventory& user = inventory.places[0];
  // A family data source, another driver's, an entry the walks skip, a key no list names.
  for (const char* held : {"payroll", "GONE", "sheets", "Numbered", "STRAY"}) {
    EXPECT_TRUE(holdsName(user, held)) << held;
  }
  for (const char* absent : {"Sales", "Payroll2", "ODBC"}) {
    EXPECT_FALSE(holdsName(user, absent)) << absent;
  }
  EXPECT_TRUE(holdsName(inventory.places[1], "SALES"));
  EXPECT_FALSE(holdsName(inventory.places[2], "Sales"));
}

}  // namespace
}  // namespace dsnconf::test
