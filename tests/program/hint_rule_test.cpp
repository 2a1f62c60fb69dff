// The rule of check's repair hints: every fix, run as printed, leaves check
// without that finding and without any finding it did not have before. The
// registries are every one the end-to-end cases seed and this test's own
// (hint_rule_registries.h); each fix runs on a fresh copy of its registry,
// split into arguments as the program's runtime splits a command line. A
// "reg add" line, Windows' own reg, is carried out here through the emulated
// registry, as reg.exe would write the value; under Wine check_hints_cmd.case
// runs it through cmd.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <nlohmann/json.hpp>
#include <set>
#include <string>
#include <vector>

#include "base/command_line_split.h"
#include "base/unicode.h"
#include "case_file.h"
#include "hint_rule_registries.h"
#include "registry/api/registry_state.h"
#include "test_support.h"
#include "win32.h"

namespace dsnconf::test {
namespace {

namespace fs = std::filesystem;

// A registry and files to start from, as a case seeds them.
struct Seed {
  std::string label;
  std::map<e2e::Root, std::string> hives;
  std::map<std::string, std::string> files;
  bool oneView = false;

  std::string identity() const {
    std::string text = oneView ? "1" : "2";
    for (const auto& [root, lines] : hives) text += "\x01" + lines;
    for (const auto& [path, content] : files) text += "\x02" + path + "\x03" + content;
    return text;
  }
};

std::string hiveFileText(const std::string& lines) {
  if (lines.rfind("Windows Registry Editor", 0) == 0 || lines.rfind("REGEDIT4", 0) == 0) {
    return lines;
  }
  return "Windows Registry Editor Version 5.00\n\n" + lines;
}

// A fresh registry folder and work folder holding the seed.
class Workspace {
 public:
  explicit Workspace(const Seed& seed) : seed_(seed) {
    fs::create_directories(registry());
    fs::create_directories(work());
    for (const auto& [root, lines] : seed.hives) {
      writeFile((registry() / (std::string(e2e::rootFileName(root)) + ".reg")).string(),
                hiveFileText(e2e::replaceAll(lines, "{DIR}", work().string())));
    }
    for (const auto& [path, content] : seed.files) {
      fs::create_directories((work() / path).parent_path());
      writeFile((work() / path).string(), e2e::replaceAll(content, "{DIR}", work().string()));
    }
  }

  fs::path registry() const { return folder_.path() / "registry"; }
  fs::path work() const { return folder_.path() / "work"; }

  std::vector<std::pair<std::string, std::string>> environment() const {
    return {{"DSNCONF_REGISTRY", registry().string()},
            {"DSNCONF_ELEVATED", "1"},
            {"DSNCONF_WOW64", seed_.oneView ? "0" : "1"}};
  }

  ProcessResult run(const std::vector<std::string>& arguments) const {
    return runProcess(DSNCONF_BINARY, arguments, environment(), work().string());
  }

 private:
  const TempFolder folder_;
  const Seed& seed_;
};

// What a finding is about: the same finding before and after a fix even where
// its message (or a data source's driver) changed.
std::string subjectOf(const nlohmann::json& finding) {
  const auto text = [&](const char* field) {
    return finding.at(field).is_null() ? std::string("-") : finding.at(field).dump();
  };
  const std::string about = finding.at("dsn").is_null() ? text("driver") : text("dsn");
  return finding.at("id").get<std::string>() + " " + text("scope") + " " + text("view") + " " +
         about;
}

struct CheckResult {
  bool document = false;
  nlohmann::json findings;
  std::map<std::string, int> subjects;  // how many findings each subject has
};

CheckResult check(const Workspace& workspace) {
  const ProcessResult result = workspace.run({"check", "/json"});
  CheckResult check;
  if (result.exitStatus != 0 && result.exitStatus != 1)
    return check;  // e.g. a hive that cannot be read
  const nlohmann::json document = nlohmann::json::parse(result.out, nullptr, false);
  if (document.is_discarded()) return check;
  check.document = true;
  check.findings = document.at("findings");
  for (const nlohmann::json& finding : check.findings) ++check.subjects[subjectOf(finding)];
  return check;
}

// reg add <key> /v <name> /t REG_SZ /d <data> /f [/reg:64 | /reg:32], as
// reg.exe writes it, into the workspace's registry; false for any other line.
bool carryOutRegAdd(const Workspace& workspace, const std::vector<std::string>& words) {
  if (words.size() < 10 || words.size() > 11 || words[1] != "add" || words[3] != "/v" ||
      words[5] != "/t" || words[6] != "REG_SZ" || words[7] != "/d" || words[9] != "/f" ||
      words[2].rfind("HKLM\\", 0) != 0) {
    return false;
  }
  REGSAM view = 0;
  if (words.size() == 11) {
    if (words[10] != "/reg:64" && words[10] != "/reg:32") return false;
    view = words[10] == "/reg:64" ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
  }
  for (const auto& [name, value] : workspace.environment())
    ::setenv(name.c_str(), value.c_str(), 1);
  posix::resetRegistryForTests();
  HKEY key = nullptr;
  LONG status = RegCreateKeyExA(HKEY_LOCAL_MACHINE, words[2].substr(5).c_str(), 0, nullptr, 0,
                                KEY_SET_VALUE | view, nullptr, &key, nullptr);
  if (status == ERROR_SUCCESS) {
    status = RegSetValueExA(key, words[4].c_str(), 0, REG_SZ,
                            reinterpret_cast<const BYTE*>(words[8].c_str()),
                            static_cast<DWORD>(words[8].size() + 1));
    RegCloseKey(key);
  }
  posix::resetRegistryForTests();
  for (const auto& [name, value] : workspace.environment()) ::unsetenv(name.c_str());
  return status == ERROR_SUCCESS;
}

// The fix as a command line: split as the runtime splits one, then run.
std::string runFix(const Workspace& workspace, const std::string& fix) {
  std::vector<std::string> words;
  for (const std::u16string& word : splitCommandLine(utf8ToUtf16(fix))) {
    words.push_back(utf16ToUtf8(word));
  }
  if (!words.empty() && words[0] == "reg") {
    return carryOutRegAdd(workspace, words) ? "" : "a reg line this test does not carry out";
  }
  if (words.empty() || words[0] != "dsnconf") return "a line that runs neither dsnconf nor reg";
  const ProcessResult result =
      workspace.run(std::vector<std::string>(words.begin() + 1, words.end()));
  if (result.exitStatus < 0) return "the program did not end normally";
  return "";
}

std::vector<Seed> caseSeeds() {
  std::vector<Seed> seeds;
  for (const fs::directory_entry& entry : fs::directory_iterator(DSNCONF_CASES_DIR)) {
    if (entry.path().extension() != ".case") continue;
    for (const e2e::Case& c : e2e::parseCaseFile(entry.path().string())) {
      Seed seed{c.source, c.hives, c.files, false};
      for (const auto& [name, value] : c.env)
        seed.oneView |= name == "DSNCONF_WOW64" && value == "0";
      seeds.push_back(seed);
    }
  }
  return seeds;
}

std::vector<Seed> ownSeeds() {
  std::vector<Seed> seeds;
  for (const HintRegistry& registry : hintRegistries()) {
    Seed seed{registry.label, {{e2e::Root::LocalMachine, registry.machine}}, {}, registry.oneView};
    if (!registry.user.empty()) seed.hives[e2e::Root::CurrentUser] = registry.user;
    for (const auto& [path, content] : registry.files) seed.files[path] = content;
    seeds.push_back(seed);
  }
  return seeds;
}

// The fix's command and first word: "dsnconf change", "reg add".
std::string fixKind(const std::string& fix) {
  const std::size_t second = fix.find(' ', fix.find(' ') + 1);
  return fix.substr(0, second);
}

TEST(HintRule, EveryFixRunAsPrintedRemovesItsFindingAndAddsNone) {
  std::vector<Seed> seeds = ownSeeds();
  for (Seed& seed : caseSeeds()) seeds.push_back(std::move(seed));
  std::set<std::string> seen;
  std::map<std::string, int> fixesRun;  // by finding id and fix kind
  for (const Seed& seed : seeds) {
    if (!seen.insert(seed.identity()).second) continue;
    const CheckResult before = check(Workspace(seed));
    if (!before.document) continue;
    for (const nlohmann::json& finding : before.findings) {
      if (finding.at("fix").is_null()) continue;
      const std::string fix = finding.at("fix");
      const std::string subject = subjectOf(finding);
      SCOPED_TRACE(seed.label + ": " + subject + ": " + fix);
      const Workspace workspace(seed);
      const std::string refusal = runFix(workspace, fix);
      ASSERT_EQ(refusal, "");
      const CheckResult after = check(workspace);
      ASSERT_TRUE(after.document);
      EXPECT_LT(after.subjects.count(subject) ? after.subjects.at(subject) : 0,
                before.subjects.at(subject))
          << "the finding is still there";
      for (const auto& [other, count] : after.subjects) {
        const int had = before.subjects.count(other) ? before.subjects.at(other) : 0;
        EXPECT_LE(count, had) << "a finding that was not there before: " << other;
      }
      ++fixesRun[finding.at("id").get<std::string>() + " | " + fixKind(fix)];
    }
  }
  // Every form of fix was run at least once: the rule is not met by offering
  // none.
  for (const char* form :
       {"listed-without-key | dsnconf remove", "driver-not-registered | dsnconf reg",
        "driver-file-mismatch | dsnconf set", "unlisted-key | dsnconf add",
        "unlisted-key | dsnconf remove", "tracing-on | dsnconf trace",
        "registration-incomplete | reg add", "registration-incomplete | dsnconf reg",
        "earlier-driver | dsnconf name", "file-dsn-driver | dsnconf reg",
        "views-differ | dsnconf change", "password-stored | dsnconf change",
        "password-stored | dsnconf delete"}) {
    EXPECT_GT(fixesRun[form], 0) << form;
  }
}

}  // namespace
}  // namespace dsnconf::test
