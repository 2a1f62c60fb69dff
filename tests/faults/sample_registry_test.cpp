// The sample registry of the benchmarks and of these tests holds what it
// promises: the program shows every data source of the family with all its
// values, and unixODBC's files name every data source.
#include "sample_registry.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "fault_support.h"

namespace dsnconf::test {
namespace {

std::size_t count(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++found;
  }
  return found;
}

TEST(SampleRegistry, ProgramAndUnixOdbcFilesSeeEveryDataSource) {
  const TempFolder folder;
  bench::SampleLayout layout;
  layout.dataSources = 30;
  bench::writeSample(layout, folder.path().string());

  const ProcessResult view =
      runProcess(DSNCONF_BINARY, {"view", "/all"}, {{"DSNCONF_REGISTRY", folder.file("registry")}});
  ASSERT_EQ(view.exitStatus, 0) << view.out;
  // 27 of the 30 belong to the family, in the three lists.
  EXPECT_EQ(count(view.out, "DSN properties for "), 27u);
  EXPECT_EQ(count(view.out, "Printing "), 3u);
  EXPECT_EQ(count(view.out, "'Server' = 'db-"), 27u);
  EXPECT_EQ(count(view.out, "' = '"), 27u * layout.valuesPerKey);

  const std::string probe = bench::probeDataSource(layout);
  const ProcessResult one = runProcess(DSNCONF_BINARY, {"view", "/dsn", probe, "Port"},
                                       {{"DSNCONF_REGISTRY", folder.file("registry")}});
  EXPECT_EQ(one.exitStatus, 0) << one.out;

  const std::string ini =
      readFile(folder.file("unixodbc/odbc.ini")) + readFile(folder.file("unixodbc/user.ini"));
  for (std::size_t i = 0; i < layout.dataSources; ++i) {
    EXPECT_EQ(count(ini, "[" + bench::dataSourceName(i) + "]"), 1u) << i;
  }
  const ProcessResult file =
      runProcess(DSNCONF_BINARY, {"view", "/fdsn", folder.file("files/sample.dsn")},
                 {{"DSNCONF_REGISTRY", folder.file("registry")}});
  EXPECT_EQ(file.exitStatus, 0);
  EXPECT_EQ(count(file.out, "' = '"), layout.fileDsnKeys);
}

TEST(SampleRegistry, AnUnhealthyRegistryHasAFindingForEveryDataSourceOfTheFamily) {
  const TempFolder folder;
  bench::SampleLayout layout;
  layout.dataSources = 30;
  layout.unhealthy = true;
  bench::writeSample(layout, folder.path().string());
  const ProcessResult check =
      runProcess(DSNCONF_BINARY, {"check"}, {{"DSNCONF_REGISTRY", folder.file("registry")}});
  EXPECT_EQ(check.exitStatus, 1);
  // The 27 of the family: each driver registered nowhere; 18 use an earlier name.
  EXPECT_EQ(count(check.out, "error driver-not-registered: "), 27u) << check.out;
  EXPECT_EQ(count(check.out, "info earlier-driver: "), 18u) << check.out;
  EXPECT_NE(check.out.find("Check found 27 errors, 0 warnings and 18 notes."), std::string::npos);
}

}  // namespace
}  // namespace dsnconf::test
