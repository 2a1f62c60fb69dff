// The installer binding as the program meets it: a missing installer library,
// one that lacks a function, and ours, each in a fresh process.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"

namespace {

using dsnconf::test::ProcessResult;
using dsnconf::test::runProcess;
using dsnconf::test::TempFolder;

const std::string kNotInstalledLine =
    "ODBC Installer Error: The ODBC installer DLL (ODBCCP32.DLL) is not installed on this "
    "system.\n";

std::string absolute(const std::string& path) {
  return std::filesystem::canonical(path).string();
}

std::string notSupportedLine(const std::string& function, const std::string& installerPath) {
  return "ODBC Installer Error: The program " + absolute(DSNCONF_BINDING_PROBE) +
         ", or one of its DLLs attempted to call the function " + function +
         " which is not supported in the loaded ODBC installer DLL (" + installerPath +
         "). Press OK to proceed.\n";
}

ProcessResult probe(const std::string& installer, const std::vector<std::string>& steps) {
  return runProcess(DSNCONF_BINDING_PROBE, steps, {{"DSNCONF_INSTALLER", installer}});
}

std::string repeated(const std::string& line, int times) {
  std::string lines;
  for (int i = 0; i < times; ++i) lines += line;
  return lines;
}

TEST(InstallerBinding, MissingLibraryFailsEveryCallAndIsLookedForEachTime) {
  const ProcessResult result =
      probe("/nonexistent/odbccp32.so",
            {"valid:Payroll", "read:x.dsn", "error", "errorW", "post", "config", "loads"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out,
            "SQLValidDSN=0\n"
            "SQLReadFileDSN=0 value=\n"
            "SQLInstallerError=-1 code=0\n"
            "SQLInstallerErrorW=-1 code=0\n"
            "SQLPostInstallerError=-1\n"
            "SQLConfigDataSource=0\n"
            "loads=6\n");
  EXPECT_EQ(result.err, repeated(kNotInstalledLine, 6));
}

TEST(InstallerBinding, MissingFunctionIsNamedEachTimeAndOthersKeepWorking) {
  const std::string library = absolute(DSNCONF_PARTIAL_INSTALLER);
  const ProcessResult result =
      probe(library, {"valid:Payroll", "read:x.dsn", "valid:abc", "error", "read:y.dsn", "loads"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out,
            "SQLValidDSN=7\n"
            "SQLReadFileDSN=0 value=\n"
            "SQLValidDSN=3\n"
            "SQLInstallerError=-1 code=0\n"
            "SQLReadFileDSN=0 value=\n"
            "loads=1\n");
  EXPECT_EQ(result.err, notSupportedLine("SQLReadFileDSN", library) +
                            notSupportedLine("SQLInstallerError", library) +
                            notSupportedLine("SQLReadFileDSN", library));
}

TEST(InstallerBinding, InstallerPathIsCutToItsBuffer) {
  // A library path longer than the 260 characters the message has room for.
  const TempFolder folder;
  std::filesystem::path deep = folder.path();
  while (deep.string().size() < 300) deep /= std::string(60, 'd');
  std::filesystem::create_directories(deep);
  const std::string library = (deep / "partial_installer.so").string();
  std::filesystem::copy_file(DSNCONF_PARTIAL_INSTALLER, library);

  const ProcessResult result = probe(library, {"read:x.dsn"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.err, notSupportedLine("SQLReadFileDSN", absolute(library).substr(0, 260)));
}

TEST(InstallerBinding, PassesCallsToTheInstallerAndLoadsItOnce) {
  const TempFolder folder;
  dsnconf::test::writeFile(folder.file("good.dsn"), "[ODBC]\nSYSTEM=Payroll\n");
  const ProcessResult result =
      probe(DSNCONF_INSTALLER_LIBRARY,
            {"valid:Payroll", "valid:Pay;roll", "read:" + folder.file("good.dsn"),
             "read:" + folder.file("missing.dsn"), "error", "loads"});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out,
            "SQLValidDSN=1\n"
            "SQLValidDSN=0\n"
            "SQLReadFileDSN=1 value=Payroll\n"
            "SQLReadFileDSN=0 value=\n"
            "SQLInstallerError=0 code=12\n"
            "loads=1\n");
  EXPECT_EQ(result.err, "");
}

TEST(InstallerBinding, InstallerIsFoundBesideTheProgram) {
  const TempFolder folder;
  const std::string program = folder.file("probe");
  std::filesystem::copy_file(DSNCONF_BINDING_PROBE, program);
  std::filesystem::permissions(program, std::filesystem::perms::owner_all);
  std::filesystem::copy_file(DSNCONF_PARTIAL_INSTALLER, folder.file("odbccp32.so"));

  const ProcessResult result = runProcess(program, {"valid:Payroll"}, {{"DSNCONF_INSTALLER", ""}});
  ASSERT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(result.out, "SQLValidDSN=7\n");
  EXPECT_EQ(result.err, "");
}

// A registry whose machine hive sets the default file data source folder, or
// an empty one when `defaultFolder` is empty.
std::string makeRegistry(const TempFolder& folder, const std::string& defaultFolder) {
  const std::string registry = folder.file("registry");
  std::filesystem::create_directory(registry);
  if (!defaultFolder.empty()) {
    dsnconf::test::writeFile(
        registry + "/HKEY_LOCAL_MACHINE.reg",
        "Windows Registry Editor Version 5.00\n\n"
        "[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\ODBC File DSN]\n"
        "\"DefaultDSNDir\"=\"" +
            defaultFolder + "\"\n");
  }
  return registry;
}

TEST(InstallerBinding, NamesWithoutAFolderAreLookedUpInTheDefaultFolderOrTheCurrentOne) {
  const TempFolder folder;
  const std::string work = folder.file("work");
  const std::string dsns = folder.file("dsns");
  std::filesystem::create_directories(work + "/sub");
  std::filesystem::create_directories(dsns + "/sub");
  dsnconf::test::writeFile(work + "/local.dsn", "[ODBC]\nSYSTEM=current folder\n");
  dsnconf::test::writeFile(work + "/sub/nested.dsn", "[ODBC]\nSYSTEM=current folder, nested\n");
  dsnconf::test::writeFile(dsns + "/shared.dsn", "[ODBC]\nSYSTEM=default folder\n");
  dsnconf::test::writeFile(dsns + "/sub/nested.dsn", "[ODBC]\nSYSTEM=default folder, nested\n");
  const std::vector<std::string> steps = {"cd:" + work, "read:local", "read:sub/nested",
                                          "read:shared", "read:" + work + "/local"};

  struct Case {
    const char* what;
    std::string defaultFolder;
    std::string out;
  };
  const Case cases[] = {
      {"no default folder set", "",
       "cd=0\n"
       "SQLReadFileDSN=1 value=current folder\n"
       "SQLReadFileDSN=1 value=current folder, nested\n"
       "SQLReadFileDSN=0 value=\n"
       "SQLReadFileDSN=1 value=current folder\n"},
      {"default folder set", dsns,
       "cd=0\n"
       "SQLReadFileDSN=0 value=\n"
       "SQLReadFileDSN=1 value=default folder, nested\n"
       "SQLReadFileDSN=1 value=default folder\n"
       "SQLReadFileDSN=1 value=current folder\n"},
      {"default folder set with a final slash", dsns + "/",
       "cd=0\n"
       "SQLReadFileDSN=0 value=\n"
       "SQLReadFileDSN=1 value=default folder, nested\n"
       "SQLReadFileDSN=1 value=default folder\n"
       "SQLReadFileDSN=1 value=current folder\n"},
  };
  for (const Case& c : cases) {
    const TempFolder registryFolder;
    const ProcessResult result =
        runProcess(DSNCONF_BINDING_PROBE, steps,
                   {{"DSNCONF_INSTALLER", DSNCONF_INSTALLER_LIBRARY},
                    {"DSNCONF_REGISTRY", makeRegistry(registryFolder, c.defaultFolder)}});
    EXPECT_EQ(result.exitStatus, 0) << c.what;
    EXPECT_EQ(result.out, c.out) << c.what;
    EXPECT_EQ(result.err, "") << c.what;
  }
}

}  // namespace
