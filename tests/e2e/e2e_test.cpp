// Runs every end-to-end case of tests/e2e/cases against the built program and
// checks its output, exit status, registry and files afterwards.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "backend.h"
#include "child_process.h"
#include "registry/tree/tree_text.h"
#include "wide_text.h"

namespace fs = std::filesystem;

namespace dsnconf::e2e {
namespace {

std::vector<Case> loadAllCases() {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(DSNCONF_CASES_DIR)) {
    if (entry.path().extension() == ".case") files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  std::vector<Case> cases;
  for (const fs::path& file : files) {
    std::vector<Case> more = parseCaseFile(file.string());
    cases.insert(cases.end(), more.begin(), more.end());
  }
  return cases;
}

const std::vector<Case>& allCases() {
  static const std::vector<Case> cases = loadAllCases();
  return cases;
}

std::unique_ptr<Backend>& backend() {
  static std::unique_ptr<Backend> instance =
      std::getenv("DSNCONF_WINE_BIN_DIR") != nullptr ? makeWineBackend() : makePosixBackend();
  return instance;
}

std::string canonical(const std::string& text, const std::string& what) {
  std::string result;
  std::string error;
  if (!dsnconf::posix::canonicalRegText(text, result, error)) {
    ADD_FAILURE() << what << " cannot be read: " << error;
  }
  return result;
}

// The bytes of a UTF-16LE file with a BOM whose text is `text` with CRLF line ends.
std::string utf16File(const std::string& text) {
  std::string bytes = "\xFF\xFE";
  const auto unit = [&bytes](char32_t u) {
    bytes += static_cast<char>(u & 0xFF);
    bytes += static_cast<char>(u >> 8);
  };
  for (const wchar_t c : dsnconf::fromUtf8(replaceAll(text, "\n", "\r\n"))) {
    const auto point = static_cast<char32_t>(c);
    if (point < 0x10000) {
      unit(point);
    } else {
      unit(0xD800 + ((point - 0x10000) >> 10));
      unit(0xDC00 + ((point - 0x10000) & 0x3FF));
    }
  }
  return bytes;
}

class EndToEnd : public testing::TestWithParam<Case> {};

}  // namespace

// Names the case in gtest's messages instead of dumping its bytes.
void PrintTo(const Case& c, std::ostream* out) {
  *out << c.source << ": " << c.title;
}

namespace {

void checkHive(Backend& b, const Case& c, Root root) {
  const std::string name = rootFileName(root);
  const std::optional<std::string> actual = b.readHive(root);
  const auto seeded = c.hives.find(root);
  const auto after = c.hivesAfter.find(root);
  const Expected expected = after == c.hivesAfter.end() ? Expected{} : after->second;

  if (expected.kind == Expected::Kind::Content) {
    const std::string want = canonical(
        hiveFileText(replaceAll(expected.content, "{DIR}", b.workDir())), "expected " + name);
    EXPECT_EQ(canonical(actual.value_or(""), name), want) << name << " afterwards";
    return;
  }
  if (seeded == c.hives.end()) {
    if (actual) {
      EXPECT_EQ(canonical(*actual, name), canonical(hiveFileText(""), "empty"))
          << name << " should be untouched";
    }
    return;
  }
  const std::string seededText = hiveFileText(replaceAll(seeded->second, "{DIR}", b.workDir()));
  ASSERT_TRUE(actual.has_value()) << name << " disappeared";
  if (b.checksHiveBytes()) {
    EXPECT_EQ(*actual, seededText) << name << " should be byte for byte unchanged";
  } else {
    EXPECT_EQ(canonical(*actual, name), canonical(seededText, "seeded " + name));
  }
}

void checkFiles(Backend& b, const Case& c) {
  std::map<std::string, Expected> expectations;
  for (const auto& [path, content] : c.files) expectations[path] = Expected{};
  for (const auto& [path, expected] : c.filesAfter) expectations[path] = expected;
  for (const auto& [path, expected] : expectations) {
    const fs::path file = fs::path(b.workDir()) / path;
    switch (expected.kind) {
      case Expected::Kind::Absent:
        EXPECT_FALSE(fs::exists(file)) << path << " should not exist";
        break;
      case Expected::Kind::Unchanged: {
        const auto seeded = c.files.find(path);
        if (seeded == c.files.end()) {
          EXPECT_FALSE(fs::exists(file)) << path << " should not exist";
        } else {
          EXPECT_EQ(readWholeFile(file), replaceAll(seeded->second, "{DIR}", b.workDir()))
              << path << " should be unchanged";
        }
        break;
      }
      case Expected::Kind::Content: {
        const std::string text = replaceAll(expected.content, "{DIR}", b.workDir());
        EXPECT_EQ(readWholeFile(file), expected.utf16 ? utf16File(text) : text)
            << path << " afterwards";
        break;
      }
    }
  }
}

TEST_P(EndToEnd, Case) {
  const Case& c = GetParam();
  Backend& b = *backend();
  const std::string skip = b.skipReason(c);
  if (!skip.empty()) GTEST_SKIP() << skip;

  SCOPED_TRACE(c.source + ": " + c.title);
  b.prepare(c);
  for (std::size_t i = 0; i < c.steps.size(); ++i) {
    const Step& step = c.steps[i];
    const std::string which = "run " + std::to_string(i + 1) + ": ";
    const RunResult result = b.run(c, step);
    ASSERT_TRUE(result.failure.empty()) << which << result.failure;
    EXPECT_EQ(result.out, replaceAll(step.expectedStdout, "{DIR}", b.workDir()))
        << which << "stdout";
    if (b.checksStderr()) {
      EXPECT_EQ(result.err, replaceAll(step.expectedStderr.value_or(""), "{DIR}", b.workDir()))
          << which << "stderr";
    }
    EXPECT_EQ(result.status, b.visibleStatus(step.expectedStatus)) << which << "exit status";
  }
  checkHive(b, c, Root::LocalMachine);
  checkHive(b, c, Root::CurrentUser);
  checkFiles(b, c);
}

std::string testName(const testing::TestParamInfo<Case>& info) {
  std::string name =
      fs::path(info.param.source.substr(0, info.param.source.find(':'))).stem().string() + "_" +
      std::to_string(info.index);
  std::replace_if(
      name.begin(), name.end(),
      [](char ch) { return !std::isalnum(static_cast<unsigned char>(ch)); }, '_');
  return name;
}

INSTANTIATE_TEST_SUITE_P(Cases, EndToEnd, testing::ValuesIn(allCases()), testName);

}  // namespace
}  // namespace dsnconf::e2e
