// check's two outputs carry the same findings: the JSON document, parsed,
// gives back every line of the plain output by the documented line format,
// and its counts are the last line's.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "test_support.h"

namespace dsnconf::test {
namespace {

const char* const kUser = R"reg(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Gone"="Ivorel ODBC Driver"
"Sales"="Ivorel ODBC Driver"
"Archive"="Sarvonet ODBC Driver"
"Numbered"=dword:00000007

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Sales]
"Driver"="C:\\ivorel.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Stray]
"Driver"="C:\\ivorel.dll"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC]
"Trace"="1"
)reg";

const char* const kMachine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Sales"="Ivorel ODBC Driver"
"Old Sales"="Brenmoor ODBC Driver (32-bit)"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Sales]
"Driver"="C:\\elsewhere.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Old Sales]

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers]
"Ivorel ODBC Driver"="Installed"
"Sarvonet ODBC Driver"="Installed"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC]
"Trace"="1"
"TraceFile"="C:\\machine.log"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBCINST.INI\Brenmoor ODBC Driver (32-bit)]
"Driver"="C:\\ivorel32.dll"
)reg";

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> result;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) result.push_back(line);
  return result;
}

std::string placeOf(const nlohmann::json& finding) {
  const std::string scope = finding.at("scope");
  if (scope == "user" || scope == "file") return scope;
  return std::to_string(finding.at("view").get<int>()) + "-bit system";
}

// The line format the README documents, built from the JSON fields.
std::string lineOf(const nlohmann::json& finding) {
  const std::string severity = finding.at("severity");
  std::string line =
      severity + " " + finding.at("id").get<std::string>() + ": " + placeOf(finding) + ": ";
  if (!finding.at("dsn").is_null()) {
    line += "DSN '" + finding.at("dsn").get<std::string>() + "'";
    if (!finding.at("driver").is_null())
      line += " (" + finding.at("driver").get<std::string>() + ")";
    line += ": ";
  } else if (!finding.at("driver").is_null()) {
    line += "driver '" + finding.at("driver").get<std::string>() + "': ";
  }
  line += finding.at("message").get<std::string>();
  if (!finding.at("fix").is_null()) line += "; fix: " + finding.at("fix").get<std::string>();
  return severity == "info" ? line : "*** " + line + " ***";
}

std::string plural(int count, const char* word) {
  return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

TEST(CheckOutput, TheJsonDocumentCarriesTheSameFindingsAsTheLines) {
  const TempFolder registry;
  writeFile(registry.file("HKEY_CURRENT_USER.reg"), kUser);
  writeFile(registry.file("HKEY_LOCAL_MACHINE.reg"), kMachine);
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", registry.path().string()}};

  const ProcessResult plain = runProcess(DSNCONF_BINARY, {"check"}, environment);
  const ProcessResult json = runProcess(DSNCONF_BINARY, {"check", "/json"}, environment);
  EXPECT_EQ(plain.exitStatus, 1);
  EXPECT_EQ(json.exitStatus, 1);
  EXPECT_EQ(plain.err, "");
  EXPECT_EQ(json.err, "");

  const nlohmann::json document = nlohmann::json::parse(json.out);
  const nlohmann::json& findings = document.at("findings");
  std::vector<std::string> rebuilt;
  int errors = 0, warnings = 0, notes = 0;
  for (const nlohmann::json& finding : findings) {
    rebuilt.push_back(lineOf(finding));
    const std::string severity = finding.at("severity");
    errors += severity == "error";
    warnings += severity == "warning";
    notes += severity == "info";
    ASSERT_EQ(finding.size(), 8u) << finding.dump();
  }
  EXPECT_EQ(document.at("counts").at("errors"), errors);
  EXPECT_EQ(document.at("counts").at("warnings"), warnings);
  EXPECT_EQ(document.at("counts").at("notes"), notes);
  rebuilt.push_back("Check found " + plural(errors, "error") + ", " + plural(warnings, "warning") +
                    " and " + plural(notes, "note") + ".");
  EXPECT_EQ(lines(plain.out), rebuilt);

  // Every kind of finding of the registry above is there.
  std::vector<std::string> ids;
  for (const nlohmann::json& finding : findings) ids.push_back(finding.at("id"));
  for (const char* id : {"listed-without-key", "driver-not-registered", "driver-file-mismatch",
                         "unlisted-key", "unreadable-entry", "shadowed", "tracing-on",
                         "earlier-driver", "registration-incomplete"}) {
    EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end()) << id;
  }
  EXPECT_EQ(readFile(registry.file("HKEY_CURRENT_USER.reg")), kUser) << "check changes nothing";
  EXPECT_EQ(readFile(registry.file("HKEY_LOCAL_MACHINE.reg")), kMachine);
}

// The README's sample registry is healthy: its two data sources of earlier
// drivers are notes only, and running their hints leaves nothing to report.
TEST(CheckOutput, TheSampleRegistryAndItsHints) {
  const TempFolder registry;
  for (const char* hive : {"HKEY_CURRENT_USER.reg", "HKEY_LOCAL_MACHINE.reg"}) {
    writeFile(registry.file(hive),
              readFile(std::string(DSNCONF_EXAMPLES_DIR) + "/registry/" + hive));
  }
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", registry.path().string()}};
  const auto check = [&] {
    const ProcessResult result = runProcess(DSNCONF_BINARY, {"check", "/json"}, environment);
    const nlohmann::json document = nlohmann::json::parse(result.out);
    std::vector<std::string> findings;
    for (const nlohmann::json& finding : document.at("findings")) {
      findings.push_back(finding.at("id").get<std::string>() + " " +
                         finding.at("dsn").get<std::string>() + " | " +
                         finding.at("fix").get<std::string>());
    }
    return std::make_pair(result.exitStatus, findings);
  };

  const auto [before, found] = check();
  EXPECT_EQ(before, 0) << "notes only";
  EXPECT_EQ(found, (std::vector<std::string>{
                       "earlier-driver Archive | dsnconf name /dsn Archive GEN3",
                       "earlier-driver Legacy Orders | dsnconf name /dsn \"Legacy Orders\" GEN3",
                   }));
  for (const char* dataSource : {"Archive", "Legacy Orders"}) {
    EXPECT_EQ(
        runProcess(DSNCONF_BINARY, {"name", "/dsn", dataSource, "GEN3"}, environment).exitStatus,
        0);
  }
  const auto [after, left] = check();
  EXPECT_EQ(after, 0);
  EXPECT_TRUE(left.empty());
}

// A password is named, never shown: not in the messages, not in a fix (a
// copy to be matched that holds one gets no line that would print it), not
// with a value too long to read back, in either output.
TEST(CheckOutput, NoOutputHoldsAPassword) {
  const std::string secret = "Tr0ub4dor-3";
  const TempFolder folder;
  const std::string dsns = (folder.path() / "dsns").string();
  std::filesystem::create_directories(dsns);
  writeFile(dsns + "/payroll.dsn",
            "[ODBC]\nDRIVER=Ivorel ODBC Driver\nSYSTEM=db\nPWD=" + secret + "\n");
  writeFile(folder.file("HKEY_CURRENT_USER.reg"), R"reg(Windows Registry Editor Version 5.00

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Mine"="Ivorel ODBC Driver"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Mine]
"Driver"="C:\\ivorel.dll"
"Password"="SECRET"

[HKEY_CURRENT_USER\SOFTWARE\ODBC\ODBC.INI\Stray]
"Driver"="C:\\ivorel.dll"
"PWD"="SECRET"
)reg");
  const std::string machine = R"reg(Windows Registry Editor Version 5.00

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBCINST.INI\Ivorel ODBC Driver]
"Driver"="C:\\ivorel.dll"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources]
"Both"="Ivorel ODBC Driver"
"Wide"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Both]
"PWD"="SECRET"

[HKEY_LOCAL_MACHINE\SOFTWARE\ODBC\ODBC.INI\Wide]
"PWD"="LONG"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC Data Sources]
"Both"="Ivorel ODBC Driver"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\Both]
"PWD"="other"

[HKEY_LOCAL_MACHINE\SOFTWARE\WOW6432Node\ODBC\ODBC.INI\ODBC File DSN]
"DefaultDSNDir"="DIR"
)reg";
  std::string text = machine;
  text.replace(text.find("LONG"), 4, std::string(1100, ' ') + secret);
  for (std::size_t at; (at = text.find("SECRET")) != std::string::npos;)
    text.replace(at, 6, secret);
  text.replace(text.find("\"DIR\""), 5, "\"" + dsns + "\"");
  writeFile(folder.file("HKEY_LOCAL_MACHINE.reg"), text);
  std::string user = readFile(folder.file("HKEY_CURRENT_USER.reg"));
  for (std::size_t at; (at = user.find("SECRET")) != std::string::npos;)
    user.replace(at, 6, secret);
  writeFile(folder.file("HKEY_CURRENT_USER.reg"), user);
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", folder.path().string()}};

  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"check"}, std::vector<std::string>{"check", "/json"}}) {
    const ProcessResult result = runProcess(DSNCONF_BINARY, arguments, environment);
    EXPECT_EQ(result.exitStatus, 1);
    EXPECT_EQ(result.out.find(secret), std::string::npos) << result.out;
    EXPECT_EQ(result.err, "");
    // Every place of a password was reported, so there was something to leak.
    for (const char* found : {"password-stored", "views-differ", "value-too-long", "unlisted-key"})
      EXPECT_NE(result.out.find(found), std::string::npos) << found;
    EXPECT_NE(result.out.find("payroll.dsn"), std::string::npos);
  }
}

}  // namespace
}  // namespace dsnconf::test
