// export /json against view /all on the same registry, both run as the built
// program: the document parses, and its data sources and their properties are
// the ones view /all prints, in the same order.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace dsnconf::test {
namespace {

using Properties = std::vector<std::pair<std::string, std::string>>;
using DataSources = std::vector<std::pair<std::string, Properties>>;

// A registry of `count` data sources per place, every third of another
// driver, with a varying number of string properties.
std::string hive(const std::string& root, const std::string& prefix, int count) {
  const char* const drivers[] = {"Ivorel ODBC Driver", "Sarvonet ODBC Driver", "Acme Text Driver",
                                 "Brenmoor ODBC Driver (32-bit)"};
  std::string list = "[" + root + "\\ODBC Data Sources]\n";
  std::string keys;
  for (int i = 0; i < count; ++i) {
    const std::string name = prefix + " " + std::to_string(i);
    list += "\"" + name + "\"=\"" + drivers[i % 4] + "\"\n";
    keys += "\n[" + root + "\\" + name + "]\n";
    for (int p = 0; p <= i % 5; ++p) {
      keys += "\"Key" + std::to_string(p) + "\"=\"value \\\"" + std::to_string(i * p) + "\\\"\"\n";
    }
  }
  return list + keys;
}

DataSources fromView(const std::string& out) {
  DataSources result;
  std::istringstream lines(out);
  std::string line;
  while (std::getline(lines, line)) {
    const std::string header = "DSN properties for ";
    if (line.rfind(header, 0) == 0) {
      result.emplace_back(line.substr(header.size()), Properties{});
    } else if (line.size() > 1 && line.front() == '\'') {
      const std::size_t middle = line.find("' = '");
      EXPECT_NE(middle, std::string::npos) << line;
      EXPECT_FALSE(result.empty()) << line;
      if (middle == std::string::npos || result.empty()) continue;
      result.back().second.emplace_back(line.substr(1, middle - 1),
                                        line.substr(middle + 5, line.size() - middle - 6));
    }
  }
  return result;
}

DataSources fromJson(const std::string& out) {
  DataSources result;
  const nlohmann::json document = nlohmann::json::parse(out);
  for (const nlohmann::json& dataSource : document.at("dataSources")) {
    Properties properties;
    for (const nlohmann::json& property : dataSource.at("properties")) {
      properties.emplace_back(property.at("name"), property.at("data"));
    }
    result.emplace_back(dataSource.at("name"), std::move(properties));
  }
  return result;
}

TEST(ExportAgreesWithView, SameDataSourcesAndPropertiesInTheSameOrder) {
  const TempFolder registry;
  writeFile(registry.file("HKEY_CURRENT_USER.reg"),
            "Windows Registry Editor Version 5.00\n\n" +
                hive("HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI", "User", 12));
  writeFile(registry.file("HKEY_LOCAL_MACHINE.reg"),
            "Windows Registry Editor Version 5.00\n\n" +
                hive("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI", "Machine", 9) + "\n" +
                hive("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI", "Wow", 7));
  const std::vector<std::pair<std::string, std::string>> environment = {
      {"DSNCONF_REGISTRY", registry.path().string()}, {"DSNCONF_ELEVATED", "1"}};

  const ProcessResult view = runProcess(DSNCONF_BINARY, {"view", "/all"}, environment);
  const ProcessResult exported = runProcess(DSNCONF_BINARY, {"export", "/json"}, environment);
  ASSERT_EQ(view.exitStatus, 0) << view.out;
  ASSERT_EQ(exported.exitStatus, 0) << exported.out;
  EXPECT_EQ(exported.err, "");

  const DataSources shown = fromView(view.out);
  // Three of every four in each place are the family's.
  ASSERT_EQ(shown.size(), 9u + 7u + 5u);
  EXPECT_EQ(fromJson(exported.out), shown);
}

}  // namespace
}  // namespace dsnconf::test
