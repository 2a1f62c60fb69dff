// Every input of the fuzzers' committed corpus (fuzz/corpus/<target>/), the
// inputs that once found a fault included, passes the fuzzers' checks.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "dsn_file_check.h"
#include "reg_text_check.h"
#include "test_support.h"

namespace dsnconf::test {
namespace {

namespace fs = std::filesystem;

std::vector<fs::path> corpus(const std::string& target) {
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(fs::path(DSNCONF_FUZZ_CORPUS_DIR) / target)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  return files;
}

TEST(FuzzCorpus, HiveTextInputsPassTheChecks) {
  const std::vector<fs::path> files = corpus("reg_text");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    EXPECT_EQ(fuzz::checkRegText(readFile(file.string())), "") << file;
  }
}

template <typename Function>
Function bind(void* library, const char* name) {
  void* symbol = ::dlsym(library, name);
  if (symbol == nullptr) throw std::runtime_error(std::string("missing ") + name);
  return reinterpret_cast<Function>(symbol);
}

TEST(FuzzCorpus, FileDsnInputsPassTheChecks) {
  void* library = ::dlopen(DSNCONF_INSTALLER_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(library, nullptr) << ::dlerror();
  const fuzz::FileDsnInstaller installer{
      bind<fuzz::ReadFileDsnFunction>(library, "SQLReadFileDSN"),
      bind<fuzz::WriteFileDsnFunction>(library, "SQLWriteFileDSN")};
  const TempFolder folder;
  const std::vector<fs::path> files = corpus("dsn_file");
  ASSERT_FALSE(files.empty());
  for (const fs::path& file : files) {
    EXPECT_EQ(fuzz::checkFileDsn(readFile(file.string()), installer, folder.file("scratch.dsn")),
              "")
        << file;
  }
}

}  // namespace
}  // namespace dsnconf::test
