// The one walk over the family's configuration: what it finds in each place,
// what it passes over, and the registry failure that stops it.
#include "dsn/inventory.h"

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
"payroll2"="Brenmoor ODBC Driver (32-bit)"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Payroll]
"Driver"="C:\\ivorel.dll"
"Port"=dword:00001538
"Hosts"=hex(7):61,00,62,00,00,00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\PAYROLL2]
"Server"="p2"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Sheets]

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Stray]
"Driver"="C:\\ivorel.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Bare]
"Driver"=dword:00000000

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC]
"Trace"="1"
"TraceFile"="C:\\trace.log"
)reg";

const char* const kMachine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Sales"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Sales]
"Driver"="C:\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"
"Sarvonet ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\ivorel.dll"
"UsageCount"=dword:00000001

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Brenmoor ODBC Driver (32-bit)]
"Driver"="C:\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\ivorel32.dll"
)reg";

class InventoryTest : public RegistryTest {
 protected:
  Inventory readBoth(const std::string& user, const std::string& machine) {
    writeFile(userHive(), user);
    writeFile(machineHive(), machine);
    restart();
    Inventory inventory;
    InventoryFailure failure;
    EXPECT_EQ(readInventory(inventory, failure), ERROR_SUCCESS) << failure.key;
    return inventory;
  }

  static std::vector<std::string> names(const std::vector<FamilyDataSource>& dataSources) {
    std::vector<std::string> result;
    for (const FamilyDataSource& dataSource : dataSources) result.push_back(dataSource.name);
    return result;
  }
};

TEST_F(InventoryTest, EachPlaceInTheOrderTheWalksVisitThem) {
  const Inventory inventory = readBoth(kUser, kMachine);
  ASSERT_EQ(inventory.places.size(), 3u);
  EXPECT_EQ(inventory.places[0].place, &kUserPlace);
  EXPECT_EQ(inventory.places[1].place, &kSystem64Place);
  EXPECT_EQ(inventory.places[2].place, &kSystem32Place);
  EXPECT_EQ(inventory.find(kSystem32Place), &inventory.places[2]);

  ::setenv("DSNCONF_WOW64", "0", 1);
  const Inventory oneView = readBoth(kUser, kMachine);
  ASSERT_EQ(oneView.places.size(), 2u);
  EXPECT_EQ(oneView.places[1].place, &kSystem32Place);
  // The one view is the machine tree as it stands, without redirection.
  EXPECT_EQ(names(oneView.places[1].dataSources), std::vector<std::string>{"Sales"});
}

TEST_F(InventoryTest, FamilyDataSourcesWithTheirPropertiesAsStored) {
  const Inventory inventory = readBoth(kUser, kMachine);
  const PlaceInventory& user = inventory.places[0];
  EXPECT_TRUE(user.hasList);
  EXPECT_EQ(names(user.dataSources), (std::vector<std::string>{"Payroll", "Gone", "payroll2"}));

  const FamilyDataSource& payroll = user.dataSources[0];
  EXPECT_EQ(payroll.driver, "Ivorel ODBC Driver");
  EXPECT_EQ(payroll.entryData, u"Ivorel ODBC Driver\0"_w) << "the entry's bytes";
  EXPECT_TRUE(payroll.hasKey);
  ASSERT_EQ(payroll.properties.size(), 3u);
  EXPECT_EQ(payroll.properties[0].data, u"C:\\ivorel.dll\0"_w);
  EXPECT_EQ(payroll.properties[1].type, REG_DWORD);
  EXPECT_EQ(payroll.properties[1].data, std::string("\x38\x15\0\0", 4));
  EXPECT_EQ(payroll.properties[2].type, REG_MULTI_SZ);
  EXPECT_EQ(payroll.properties[2].data, u"a\0b\0\0\0"_w);
  ASSERT_NE(payroll.property("DRIVER"), nullptr);
  EXPECT_EQ(payroll.property("DRIVER")->text(), "C:\\ivorel.dll");

  EXPECT_FALSE(user.dataSources[1].hasKey) << "Gone is listed without a key";
  // The key is found without regard to case.
  EXPECT_TRUE(user.dataSources[2].hasKey);
  EXPECT_EQ(user.dataSources[2].properties.at(0).name, "Server");
}

TEST_F(InventoryTest, EntriesTheWalksSkipAndKeysNoListNames) {
  std::string user = kUser;
  user += "\n[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n\"" +
          std::string(1023, 'n') + "\"=\"Ivorel ODBC Driver\"\n\"Wide\"=\"" +
          std::string(1024, 'd') + "\"\n";
  const Inventory inventory = readBoth(user, kMachine);
  const PlaceInventory& place = inventory.places[0];
  ASSERT_EQ(place.unreadableEntries.size(), 3u);
  EXPECT_EQ(place.unreadableEntries[0].name, "Numbered");
  EXPECT_EQ(place.unreadableEntries[0].problem, EntryProblem::NotAString);
  EXPECT_EQ(place.unreadableEntries[0].type, REG_DWORD);
  EXPECT_EQ(place.unreadableEntries[1].problem, EntryProblem::TooLong);
  EXPECT_EQ(place.unreadableEntries[1].name.size(), 1023u);
  EXPECT_EQ(place.unreadableEntries[2].name, "Wide") << "1024 characters and a terminator";
  EXPECT_EQ(place.unreadableEntries[2].problem, EntryProblem::TooLong);

  // Sheets is listed with another driver; ODBC is the trace key.
  ASSERT_EQ(place.unlistedKeys.size(), 2u);
  EXPECT_EQ(place.unlistedKeys[0].name, "Bare");
  EXPECT_FALSE(place.unlistedKeys[0].driverFile.has_value()) << "a DWORD names no file";
  EXPECT_EQ(place.unlistedKeys[1].name, "Stray");
  EXPECT_EQ(place.unlistedKeys[1].driverFile, std::optional<std::string>("C:\\ivorel.dll"));
  // What listing Stray would make a data source of; Bare, which names no
  // driver's file, keeps none.
  ASSERT_EQ(place.unlistedKeys[1].values.size(), 1u);
  EXPECT_EQ(place.unlistedKeys[1].values[0].name, "Driver");
  EXPECT_TRUE(place.unlistedKeys[0].values.empty());
}

TEST_F(InventoryTest, TracingAndRegistrationsOfEachView) {
  const Inventory inventory = readBoth(kUser, kMachine);
  const TraceSettings& tracing = inventory.places[0].tracing;
  ASSERT_TRUE(tracing.trace.has_value());
  EXPECT_EQ(tracing.trace->text(), "1");
  ASSERT_TRUE(tracing.traceFile.has_value());
  EXPECT_EQ(tracing.traceFile->text(), "C:\\trace.log");
  EXPECT_FALSE(inventory.places[1].tracing.trace.has_value());

  EXPECT_TRUE(inventory.places[0].registrations.empty()) << "drivers are the machine's";
  const std::vector<DriverRegistration>& view64 = inventory.places[1].registrations;
  ASSERT_EQ(view64.size(), 3u);
  EXPECT_EQ(view64[0].driver, "Ivorel ODBC Driver");
  EXPECT_TRUE(view64[0].hasKey && view64[0].listed);
  EXPECT_EQ(view64[0].values.size(), 2u);
  EXPECT_EQ(view64[0].driverFile(), std::optional<std::string>("C:\\ivorel.dll"));
  EXPECT_EQ(view64[1].driver, "Sarvonet ODBC Driver");
  EXPECT_TRUE(!view64[1].hasKey && view64[1].listed) << "listed without its key";
  EXPECT_EQ(view64[2].driver, "Brenmoor ODBC Driver (32-bit)");
  EXPECT_TRUE(view64[2].hasKey && !view64[2].listed) << "a key without its entry";

  EXPECT_TRUE(inventory.places[1].hasDriverList);
  EXPECT_FALSE(inventory.places[2].hasDriverList) << "reg /add could not register there";

  const std::vector<DriverRegistration>& view32 = inventory.places[2].registrations;
  ASSERT_EQ(view32.size(), 1u);
  EXPECT_FALSE(view32[0].listed);
  EXPECT_EQ(view32[0].driverFile(), std::optional<std::string>("C:\\ivorel32.dll"));
}

TEST_F(InventoryTest, OtherDriversEntriesAndTheFileDataSourceFolderOfEachView) {
  std::string machine = kMachine;
  machine +=
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\ODBC File DSN]\n"
      "\"DefaultDSNDir\"=\"C:\\\\dsns\"\n"
      "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC File DSN]\n"
      "\"DefaultDSNDir\"=dword:00000001\n";
  const Inventory inventory = readBoth(kUser, machine);
  EXPECT_EQ(inventory.places[0].otherEntries, std::vector<std::string>{"Sheets"});
  EXPECT_FALSE(inventory.places[0].defaultDsnDir.has_value()) << "the folder is the machine's";
  EXPECT_FALSE(inventory.places[1].defaultDsnDir.has_value()) << "a DWORD names no folder";
  EXPECT_EQ(inventory.places[2].defaultDsnDir, std::optional<std::string>("C:\\dsns"));
}

TEST_F(InventoryTest, AnEmptyRegistryHasPlacesWithNothingInThem) {
  const Inventory inventory = readBoth("", "");
  ASSERT_EQ(inventory.places.size(), 3u);
  for (const PlaceInventory& place : inventory.places) {
    EXPECT_FALSE(place.hasList);
    EXPECT_TRUE(place.dataSources.empty() && place.unlistedKeys.empty());
    EXPECT_TRUE(place.registrations.empty());
  }
}

TEST_F(InventoryTest, AnUnreadableHiveStopsTheWalkAndNamesTheKey) {
  writeFile(userHive(), kUser);
  writeFile(machineHive(), "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\x\n");
  restart();
  Inventory inventory;
  InventoryFailure failure;
  EXPECT_EQ(readInventory(inventory, failure), ERROR_BADDB);
  EXPECT_EQ(failure.status, ERROR_BADDB);
  EXPECT_EQ(failure.key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources");
  EXPECT_EQ(inventory.places.size(), 2u) << "the user's tree was read first";
}

}  // namespace
}  // namespace dsnconf::test
