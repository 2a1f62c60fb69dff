// export /json on a registry holding passwords in every form a data source can
// keep one (PWD or Password in any case, of any type, in the data source's key
// or a key below it, in every place): without /secrets no output, on standard
// output or in the file, holds any of them; with it, each is there.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "test_support.h"

namespace dsnconf::test {
namespace {

// Each secret as the registry holds it, and the texts it could take in a
// document: itself, or the hex of its bytes (a binary value, or string data
// that is no plain text). The hives are the Linux build's own 8-bit text,
// whose hex data of the string types is UTF-8.
struct Secret {
  std::string line;                 // the value's .reg line
  std::vector<std::string> traces;  // none may appear in a redacted document
};

const Secret kSecrets[] = {
    {R"("PWD"="plain-one")", {"plain-one"}},
    {R"("password"="lower-two")", {"lower-two"}},
    {R"("PassWord"=hex(2):65,78,70,00)", {"exp"}},
    {R"("Pwd"=hex:b1,ab,1e)", {"b1ab1e"}},
    {R"("PASSWORD"=dword:0badf00d)", {"195948557"}},
    {R"("pwd"=hex(7):6d,75,6c,74,69,00,00)", {"multi"}},
    {R"("Password"=hex(1):75,6e,74,65,72,6d)", {"75006e00", "unterm"}},
};

// The data source's key holds one secret, and a key of its own below it
// each of the others: names that differ in case only are one value.
std::string dataSource(const std::string& odbcIni, const std::string& name) {
  const std::size_t own = name.size() % std::size(kSecrets);
  std::string text = "\n[" + odbcIni + "\\" + name + "]\n\"Server\"=\"db\"\n";
  text += kSecrets[own].line + "\n";
  for (std::size_t i = 0; i < std::size(kSecrets); ++i) {
    if (i == own) continue;
    text += "\n[" + odbcIni + "\\" + name + "\\Options\\S" + std::to_string(i) + "]\n";
    text += kSecrets[i].line + "\n";
  }
  return text;
}

std::string place(const std::string& odbcIni, const std::vector<std::string>& names) {
  std::string text = "[" + odbcIni + "\\ODBC Data Sources]\n";
  for (const std::string& name : names) text += "\"" + name + "\"=\"Ivorel ODBC Driver\"\n";
  for (const std::string& name : names) text += dataSource(odbcIni, name);
  return text + "\n";
}

class ExportPasswords : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string header = "Windows Registry Editor Version 5.00\n\n";
    writeFile(registry_.file("HKEY_CURRENT_USER.reg"),
              header + place("HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI", {"A", "Bb", "Ccc"}));
    writeFile(registry_.file("HKEY_LOCAL_MACHINE.reg"),
              header + place("HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI", {"Dddd", "Eeeee"}) +
                  place("HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI",
                        {"Ffffff", "Ggggggg"}));
  }

  // Standard output and the file written, if any.
  std::string run(const std::vector<std::string>& args, int& status) {
    const ProcessResult result =
        runProcess(DSNCONF_BINARY, args, {{"DSNCONF_REGISTRY", registry_.path().string()}},
                   work_.path().string());
    status = result.exitStatus;
    EXPECT_EQ(result.err, "");
    const std::string file = readFile(work_.file("out.json"));
    std::filesystem::remove(work_.file("out.json"));
    return result.out + file;
  }

  TempFolder registry_;
  TempFolder work_;
};

TEST_F(ExportPasswords, NoOutputWithoutSecretsHoldsAnyAndEveryOutputWithItHoldsAll) {
  const std::vector<std::vector<std::string>> redacted = {
      {"export", "/json"}, {"export", "/json", "out.json"}, {"export", "/JSON", "out.json", "/y"}};
  for (const std::vector<std::string>& args : redacted) {
    int status = -1;
    const std::string out = run(args, status);
    EXPECT_EQ(status, 0) << out;
    for (const Secret& secret : kSecrets) {
      for (const std::string& trace : secret.traces) {
        EXPECT_EQ(out.find(trace), std::string::npos) << args.size() << " args: " << trace;
      }
    }
    // 7 data sources, each with all seven secrets.
    if (args.size() > 2) {
      EXPECT_NE(out.find("49 password values were left out"), std::string::npos) << out;
    }
  }
  const std::vector<std::vector<std::string>> kept = {
      {"export", "/json", "/secrets"}, {"export", "/json", "/Secrets", "out.json"}};
  for (const std::vector<std::string>& args : kept) {
    int status = -1;
    const std::string out = run(args, status);
    EXPECT_EQ(status, 0) << out;
    for (const Secret& secret : kSecrets) {
      EXPECT_NE(out.find(secret.traces.back()), std::string::npos) << secret.line;
    }
    EXPECT_EQ(out.find("redacted"), std::string::npos);
  }
}

}  // namespace
}  // namespace dsnconf::test
