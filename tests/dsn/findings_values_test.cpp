// The rules about what data sources hold (views-differ, value-too-long,
// password-stored) and the repairs of keys no list names and of half-made
// registrations: which state is found, and which fix is offered where it
// makes that finding go without raising another, and none elsewhere.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "findings_fixture.h"

namespace dsnconf::findings_test {
namespace {

// A data source with the driver's file and the given string properties.
FamilyDataSource withValues(const std::string& name, const std::string& file,
                            const std::vector<RegistryValue>& values) {
  FamilyDataSource result = dataSource(name, kGen3, file);
  result.properties.insert(result.properties.end(), values.begin(), values.end());
  return result;
}

RegistryValue number(const std::string& name, char value) {
  return {name, REG_DWORD, std::string(1, value) + std::string(3, '\0')};
}

// Copies of "Both" in the two machine views.
std::function<void(Configuration&)> both(const std::vector<RegistryValue>& values64,
                                         const std::vector<RegistryValue>& values32,
                                         const std::string& name = "Both") {
  return [=](Configuration& c) {
    view64(c).dataSources.push_back(withValues(name, kFile64, values64));
    view32(c).dataSources.push_back(withValues(name, kFile32, values32));
  };
}

const std::string kDiffer = "warning views-differ 32-bit system Both Ivorel ODBC Driver | ";

TEST(Findings, ViewsDiffer) {
  RegistryValue unterminated = text("Server", "a");
  unterminated.data.resize(unterminated.data.size() - 2);
  RegistryValue tooLong = text("Notes", std::string(1100, 'n'));
  runCases({
      {"the same values, each copy with its own Driver file, names in any case",
       both({text("Server", "a"), text("Port", "1")}, {text("PORT", "1"), text("server", "a")}),
       {}},
      {"the 32-bit copy is made to match the 64-bit one: values set, extra ones removed",
       both({text("Server", "R&D db"), text("Port", "1")}, {text("Server", "b"), text("UID", "x")}),
       {kDiffer + "dsnconf change /system /32 Both \"Server=R&D db\" Port=1 /remove UID"}},
      {"a type differs: change writes strings",
       both({text("Port", "1")}, {{"Port", REG_EXPAND_SZ, stringData("1")}}),
       {kDiffer + "dsnconf change /system /32 Both Port=1"}},
      {"a number only change cannot write: the 64-bit copy is made to match instead",
       both({number("Port", 1)}, {}),
       {kDiffer + "dsnconf change /system /64 Both /remove Port"}},
      {"numbers on both sides: no line can match them",
       both({number("Port", 1)}, {number("Port", 2)}),
       {kDiffer + "no fix"}},
      {"a string that is not exactly its text and terminator cannot be copied",
       both({unterminated}, {}),
       {kDiffer + "dsnconf change /system /64 Both /remove Server"}},
      {"a value too long to read back is not copied into the other copy",
       both({tooLong}, {}),
       {kDiffer + "dsnconf change /system /64 Both /remove Notes",
        "warning value-too-long 64-bit system Both Ivorel ODBC Driver | no fix"}},
      {"a value no quoting carries: the other copy's is set instead",
       both({text("Server", "100%")}, {text("Server", "db")}),
       {kDiffer + "dsnconf change /system /64 Both Server=db"}},
      {"a password is never printed: the copy holding it loses it",
       both({text("PWD", "secret")}, {}),
       {kDiffer + "dsnconf change /system /64 Both /remove PWD",
        "warning password-stored 64-bit system Both Ivorel ODBC Driver | dsnconf change /system "
        "/64 Both /remove PWD"}},
      {"different passwords: neither can be printed",
       both({text("PWD", "one")}, {text("PWD", "two")}),
       {kDiffer + "no fix",
        "warning password-stored 64-bit system Both Ivorel ODBC Driver | dsnconf change /system "
        "/64 Both /remove PWD",
        "warning password-stored 32-bit system Both Ivorel ODBC Driver | dsnconf change /system "
        "/32 Both /remove PWD"}},
      {"a property change cannot name",
       both({text("a=b", "1")}, {text("/whatif", "1")}),
       {kDiffer + "no fix"}},
      {"a name the installer refuses",
       both({text("Server", "a")}, {}, "A;B"),
       {"warning views-differ 32-bit system A;B Ivorel ODBC Driver | no fix"}},
      {"a copy without its key is not compared",
       [](Configuration& c) {
         view64(c).dataSources.push_back(withValues("Both", kFile64, {text("Server", "a")}));
         view32(c).dataSources.push_back(dataSource("Both", kGen3, "", false));
       },
       {"error listed-without-key 32-bit system Both Ivorel ODBC Driver | dsnconf remove /system "
        "/32 Both"}},
  });
}

TEST(Findings, ValueTooLong) {
  const auto one = [](const RegistryValue& value) {
    return [=](Configuration& c) {
      user(c).dataSources.push_back(withValues("Notes", kFile64, {value}));
    };
  };
  const std::string found = "warning value-too-long user Notes Ivorel ODBC Driver | no fix";
  runCases({
      {"1023 characters and the terminator fill the buffer",
       one(text("N", std::string(1023, 'x'))),
       {}},
      {"1024 characters do not fit", one(text("N", std::string(1024, 'x'))), {found}},
      {"REG_EXPAND_SZ is read the same way",
       one({"N", REG_EXPAND_SZ, stringData(std::string(2000, 'x'))}),
       {found}},
      {"bytes are counted as the ANSI calls give them",
       one(text("N", std::string(1022, 'x') + "\xC3\xA9")),
       {found}},
      {"data that is no string is not judged", one({"N", REG_BINARY, std::string(4000, 'x')}), {}},
  });
}

TEST(Findings, PasswordStored) {
  const auto holding = [](const std::vector<RegistryValue>& values,
                          const std::string& name = "Pay") {
    return
        [=](Configuration& c) { user(c).dataSources.push_back(withValues(name, kFile64, values)); };
  };
  const std::string stored = "warning password-stored user Pay Ivorel ODBC Driver | ";
  runCases({
      {"PWD in the user's data source",
       holding({text("PWD", "x")}),
       {stored + "dsnconf change /user Pay /remove PWD"}},
      {"any case, both names, one line removes both",
       holding({text("password", "x"), text("Pwd", "y")}),
       {stored + "dsnconf change /user Pay /remove password Pwd"}},
      {"empty, or nothing but zeros, is no password",
       holding({text("PWD", ""), {"Password", REG_BINARY, std::string(4, '\0')}}),
       {}},
      {"a password of another type is stored all the same",
       holding({{"PWD", REG_BINARY, "\x01"}}),
       {stored + "dsnconf change /user Pay /remove PWD"}},
      {"a name the installer refuses",
       holding({text("PWD", "x")}, "P*y"),
       {"warning password-stored user P*y Ivorel ODBC Driver | no fix"}},
      {"the same password in both views goes from both, so that the copies still match",
       both({text("PWD", "x")}, {text("PWD", "x")}),
       {"warning password-stored 64-bit system Both Ivorel ODBC Driver | dsnconf change /system "
        "Both /remove PWD",
        "warning password-stored 32-bit system Both Ivorel ODBC Driver | dsnconf change /system "
        "Both /remove PWD"}},
      {"file data sources: delete removes one key; two need two lines; /fdsn needs SYSTEM",
       [](Configuration& c) {
         c.files.push_back({"one.dsn", kGen3, {"PWD"}, true});
         c.files.push_back({"two.dsn", kGen3, {"PWD", "Password"}, true});
         c.files.push_back({"bare.dsn", kGen3, {"PWD"}, false});
         c.files.push_back({"R&D.dsn", kGen3, {"pwd"}, true});
       },
       {"warning password-stored file one.dsn Ivorel ODBC Driver | dsnconf delete /fdsn one.dsn "
        "PWD",
        "warning password-stored file two.dsn Ivorel ODBC Driver | no fix",
        "warning password-stored file bare.dsn Ivorel ODBC Driver | no fix",
        "warning password-stored file R&D.dsn Ivorel ODBC Driver | dsnconf delete /fdsn "
        "\"R&D.dsn\" pwd"}},
  });
  // The message says whose it is and names the property, never its data.
  Configuration configuration = healthy();
  view64(configuration).dataSources.push_back(withValues("S", kFile64, {text("PWD", "hunter2")}));
  user(configuration).dataSources.push_back(withValues("U", kFile64, {text("PWD", "hunter2")}));
  configuration.files.push_back({"f.dsn", kGen3, {"PWD"}, true});
  std::vector<std::string> messages;
  for (const Finding& finding : diagnose(configuration)) messages.push_back(finding.message);
  EXPECT_EQ(messages, (std::vector<std::string>{
                          "it keeps a password (PWD) as clear text, which this user and "
                          "administrators can read",
                          "it keeps a password (PWD) as clear text, which every user of the "
                          "machine can read",
                          "it keeps a password (PWD) as clear text, which everyone who may read "
                          "the file can read",
                      }));
}

TEST(Findings, UnlistedKeysAreListedWhereThatIsCleanElseRemoved) {
  const auto key = [](PlaceInventory& place, const std::string& name, const std::string& file,
                      std::vector<RegistryValue> values = {}) {
    values.insert(values.begin(), text("Driver", file));
    place.unlistedKeys.push_back({name, file, values});
  };
  const std::string stray = "warning unlisted-key ";
  runCases({
      {"what a killed add left, in each place",
       [&](Configuration& c) {
         key(user(c), "Mine", kFile32, {text("Server", "a")});
         key(view64(c), "Sales", kFile64);
         key(view32(c), "Old Sales", kFile32);
       },
       {stray + "user Mine Ivorel ODBC Driver | dsnconf add /user Mine GEN3 /adopt",
        stray +
            "64-bit system Sales Ivorel ODBC Driver | dsnconf add /system /64 Sales GEN3 /adopt",
        stray + "32-bit system Old Sales Ivorel ODBC Driver | dsnconf add /system /32 \"Old "
                "Sales\" GEN3 /adopt"}},
      {"the other view's file: add /adopt refuses it, remove takes it",
       [&](Configuration& c) { key(view64(c), "Sales", kFile32); },
       {stray + "64-bit system Sales Ivorel ODBC Driver | dsnconf remove /system /64 Sales"}},
      {"an earlier driver's file, found first as add looks: listing would leave a note",
       [&](Configuration& c) {
         view64(c).registrations.push_back(registration(kGen2, kFile32));
         key(user(c), "Mine", kFile32);
       },
       {stray + "user Mine Sarvonet ODBC Driver | dsnconf remove /user Mine"}},
      {"listing would hide a machine data source, or be hidden by the user's",
       [&](Configuration& c) {
         view64(c).dataSources.push_back(dataSource("Sales", kGen3, kFile64));
         key(user(c), "SALES", kFile64);
         user(c).dataSources.push_back(dataSource("Books", kGen3, kFile64));
         key(view32(c), "Books", kFile32);
       },
       {stray + "user SALES Ivorel ODBC Driver | dsnconf remove /user SALES",
        stray + "32-bit system Books Ivorel ODBC Driver | dsnconf remove /system /32 Books"}},
      {"beside a copy in the other view: listed where the values match, removed where not",
       [&](Configuration& c) {
         view64(c).dataSources.push_back(withValues("Same", kFile64, {text("Server", "a")}));
         view64(c).dataSources.push_back(withValues("Other", kFile64, {text("Server", "a")}));
         key(view32(c), "Other", kFile32, {text("Server", "b")});
         key(view32(c), "Same", kFile32, {text("SERVER", "a")});
       },
       {stray + "32-bit system Other Ivorel ODBC Driver | dsnconf remove /system /32 Other",
        stray +
            "32-bit system Same Ivorel ODBC Driver | dsnconf add /system /32 Same GEN3 /adopt"}},
      {"a password or a value too long would be reported once listed",
       [&](Configuration& c) {
         key(user(c), "Secret", kFile64, {text("PWD", "x")});
         key(user(c), "Wide", kFile64, {text("Notes", std::string(1024, 'n'))});
       },
       {stray + "user Secret Ivorel ODBC Driver | dsnconf remove /user Secret",
        stray + "user Wide Ivorel ODBC Driver | dsnconf remove /user Wide"}},
      {"a name the installer refuses",
       [&](Configuration& c) { key(user(c), "A;B", kFile64); },
       {stray + "user A;B Ivorel ODBC Driver | no fix"}},
  });
}

TEST(Findings, RegistrationRepairsBreakNoDataSource) {
  const std::string gen2Entry =
      "reg add \"HKLM\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers\" /v "
      "\"Sarvonet ODBC Driver\" /t REG_SZ /d Installed /f";
  runCases({
      {"a key without its entry on a system of one view: no view switch",
       [](Configuration& c) {
         view32(c).registrations.push_back(registration(kGen2, kFile32, true, false));
       },
       {"warning registration-incomplete 32-bit system - Sarvonet ODBC Driver | " + gen2Entry},
       false},
      {"the 32-bit view's entry",
       [](Configuration& c) {
         view32(c).registrations.push_back(registration(kGen2, kFile32, true, false));
       },
       {"warning registration-incomplete 32-bit system - Sarvonet ODBC Driver | " + gen2Entry +
        " /reg:32"}},
      {"reg /add would give a data source the current driver's file, which its Driver is not",
       [](Configuration& c) {
         view64(c).dataSources.push_back(dataSource("Old", kGen2, "C:\\Sarvonet\\sarvonet.dll"));
         view64(c).registrations.push_back(registration(kGen2, "", false, true));
       },
       {"error driver-not-registered 64-bit system Old Sarvonet ODBC Driver | no fix",
        "warning registration-incomplete 64-bit system - Sarvonet ODBC Driver | no fix",
        "info earlier-driver 64-bit system Old Sarvonet ODBC Driver | no fix"}},
      {"reg /add cannot register where ODBC Drivers is missing",
       [](Configuration& c) {
         view64(c).hasDriverList = false;
         view64(c).dataSources.push_back(dataSource("Old", kGen2, kFile64));
       },
       {"error driver-not-registered 64-bit system Old Sarvonet ODBC Driver | no fix",
        "info earlier-driver 64-bit system Old Sarvonet ODBC Driver | dsnconf name /dsn Old GEN3"}},
      {"name /dsn is withheld where the Driver value matches the earlier driver's file only",
       [](Configuration& c) {
         view64(c).registrations.push_back(registration(kGen2, "C:\\Sarvonet\\sarvonet.dll"));
         view64(c).dataSources.push_back(dataSource("Old", kGen2, "C:\\Sarvonet\\sarvonet.dll"));
       },
       {"info earlier-driver 64-bit system Old Sarvonet ODBC Driver | no fix"}},
  });
}

// check keeps a digest of each data source's values instead of the values:
// two copies must hash alike exactly where no difference is found.
TEST(Findings, CopiesHashAlikeExactlyWhereTheyDoNotDiffer) {
  const RegistryValue driver64 = text("Driver", kFile64);
  const RegistryValue driver32 = text("Driver", kFile32);
  const std::vector<std::pair<std::vector<RegistryValue>, std::vector<RegistryValue>>> pairs = {
      {{}, {}},
      {{driver64, text("Server", "a"), text("Port", "1")},
       {text("PORT", "1"), driver32, text("server", "a")}},
      {{text("Server", "a")}, {text("Server", "b")}},
      {{text("Port", "1")}, {{"Port", REG_EXPAND_SZ, stringData("1")}}},
      {{text("Server", "a")}, {text("Host", "a")}},
      {{text("Server", "a")}, {text("Server", "a"), text("UID", "x")}},
      {{text("A", "1"), text("B", "2")}, {text("A", "2"), text("B", "1")}},
      {{number("Port", 1)}, {number("Port", 2)}},
      {{driver64}, {}},
  };
  for (const auto& [one, other] : pairs) {
    EXPECT_EQ(digestOf(one) == digestOf(other), propertyDifferences(one, other).empty())
        << one.size() << " against " << other.size() << " values";
  }
}

}  // namespace
}  // namespace dsnconf::findings_test
