// The POSIX stand-ins for LoadLibraryA, GetProcAddress, GetModuleFileNameW and
// MessageBoxW, and the wide text conversions beneath them.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "library_loads.h"
#include "test_support.h"
#include "wide_text.h"
#include "win32.h"

namespace {

using dsnconf::fromUtf8;
using dsnconf::toUtf8;

const std::wstring kProgramPath = fromUtf8(std::filesystem::canonical("/proc/self/exe").string());

// Sets an environment variable for one scope.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
    const char* old = std::getenv(name);
    hadValue_ = old != nullptr;
    if (hadValue_) oldValue_ = old;
    ::setenv(name, value.c_str(), 1);
  }
  ~ScopedEnvironment() {
    if (hadValue_) {
      ::setenv(name_, oldValue_.c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }

 private:
  const char* name_;
  bool hadValue_;
  std::string oldValue_;
};

TEST(PosixLoader, ModuleFileNameIsCutAndTerminatedAsOnWindows) {
  struct Case {
    DWORD size;
    DWORD expectedResult;
    std::wstring expectedText;
  };
  const DWORD length = static_cast<DWORD>(kProgramPath.size());
  const Case cases[] = {
      {length + 1, length, kProgramPath},
      {length + 50, length, kProgramPath},
      {length, length, kProgramPath.substr(0, length - 1)},
      {5, 5, kProgramPath.substr(0, 4)},
      {1, 1, L""},
  };
  for (const Case& c : cases) {
    std::wstring buffer(c.size + 8, L'#');
    EXPECT_EQ(GetModuleFileNameW(nullptr, buffer.data(), c.size), c.expectedResult) << c.size;
    EXPECT_EQ(std::wstring(buffer.c_str()), c.expectedText) << c.size;
    EXPECT_EQ(buffer.substr(c.size), std::wstring(8, L'#')) << "wrote past the buffer";
  }
  wchar_t untouched = L'#';
  EXPECT_EQ(GetModuleFileNameW(nullptr, &untouched, 0), 0u);
  EXPECT_EQ(untouched, L'#');
}

TEST(PosixLoader, BindsOnlyTheModulesOwnFunctionsAndNamesItsFile) {
  const HMODULE module = LoadLibraryA(DSNCONF_PARTIAL_INSTALLER);
  ASSERT_NE(module, nullptr);
  const FARPROC valid = GetProcAddress(module, "SQLValidDSN");
  ASSERT_NE(valid, nullptr);
  using ValidDsn = int (*)(const char*);
  EXPECT_EQ(reinterpret_cast<ValidDsn>(reinterpret_cast<void (*)()>(valid))("Payroll"), 7);
  EXPECT_EQ(GetProcAddress(module, "SQLReadFileDSN"), nullptr);
  // strlen is there through the library's own dependency on the C library.
  EXPECT_EQ(GetProcAddress(module, "strlen"), nullptr);

  wchar_t path[4096];
  const DWORD length = GetModuleFileNameW(module, path, 4096);
  EXPECT_EQ(toUtf8(std::wstring(path, length)),
            std::filesystem::canonical(DSNCONF_PARTIAL_INSTALLER).string());
}

TEST(PosixLoader, InstallerNameInAnyCaseMapsToTheConfiguredLibrary) {
  const ScopedEnvironment installer("DSNCONF_INSTALLER", DSNCONF_PARTIAL_INSTALLER);
  for (const char* name : {"odbccp32.dll", "ODBCCP32.DLL", "OdbcCp32.Dll"}) {
    const HMODULE module = LoadLibraryA(name);
    ASSERT_NE(module, nullptr) << name;
    EXPECT_NE(GetProcAddress(module, "SQLValidDSN"), nullptr) << name;
  }
  EXPECT_EQ(LoadLibraryA("odbccp32.dll.bak"), nullptr);
}

TEST(PosixLoader, CountsEveryLoadRequest) {
  const std::size_t before = dsnconf::loadLibraryCallCount();
  EXPECT_EQ(LoadLibraryA("/nonexistent/library.so"), nullptr);
  EXPECT_NE(LoadLibraryA(DSNCONF_PARTIAL_INSTALLER), nullptr);
  EXPECT_EQ(dsnconf::loadLibraryCallCount(), before + 2);
}

// Runs `action` with standard error sent to a file, and returns what it wrote.
template <typename Action>
std::string captureStandardError(Action action) {
  const dsnconf::test::TempFolder folder;
  const std::string file = folder.file("stderr");
  std::fflush(stderr);
  const int saved = ::dup(STDERR_FILENO);
  const int target = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  ::dup2(target, STDERR_FILENO);
  ::close(target);
  action();
  std::fflush(stderr);
  ::dup2(saved, STDERR_FILENO);
  ::close(saved);
  return dsnconf::test::readFile(file);
}

TEST(PosixMessageBox, IsOneUtf8LineOnStandardError) {
  int result = 0;
  const std::string written = captureStandardError([&] {
    result = MessageBoxW(nullptr, L"Caf\u00e9 costs 3 \u20ac \U0001F600", L"ODBC Installer Error",
                         MB_ICONINFORMATION);
  });
  EXPECT_EQ(result, IDOK);
  EXPECT_EQ(written, "ODBC Installer Error: Caf\xC3\xA9 costs 3 \xE2\x82\xAC \xF0\x9F\x98\x80\n");
}

TEST(WideText, ConvertsBetweenCodePointsAndUtf8) {
  struct Case {
    std::wstring wide;
    std::string utf8;
  };
  const Case cases[] = {
      {L"", ""},
      {L"plain /path/odbccp32.so", "plain /path/odbccp32.so"},
      {L"\u00e9\u07ff", "\xC3\xA9\xDF\xBF"},
      {L"\u0800\uffff", "\xE0\xA0\x80\xEF\xBF\xBF"},
      {L"\U00010000\U0010FFFF", "\xF0\x90\x80\x80\xF4\x8F\xBF\xBF"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(toUtf8(c.wide), c.utf8);
    EXPECT_EQ(fromUtf8(c.utf8), c.wide);
  }
}

TEST(WideText, MalformedInputBecomesReplacementCharacters) {
  struct Case {
    std::string utf8;
    std::wstring wide;
  };
  const Case cases[] = {
      {"a\xFF"
       "b",
       L"a\uFFFDb"},                            // a byte that starts nothing
      {"\xC3", L"\uFFFD"},                      // cut short at the end
      {"\xC3(", L"\uFFFD("},                    // continuation missing
      {"\xC0\xAF", L"\uFFFD\uFFFD"},            // overlong '/'
      {"\xED\xA0\x80", L"\uFFFD\uFFFD\uFFFD"},  // a surrogate
  };
  for (const Case& c : cases) EXPECT_EQ(fromUtf8(c.utf8), c.wide);
  EXPECT_EQ(toUtf8(std::wstring(1, static_cast<wchar_t>(0xD800))), "\xEF\xBF\xBD");
  EXPECT_EQ(toUtf8(std::wstring(1, static_cast<wchar_t>(0x110000))), "\xEF\xBF\xBD");
}

}  // namespace
