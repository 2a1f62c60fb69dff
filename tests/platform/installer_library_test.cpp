// Our ODBC installer library, odbccp32.so, called as the program calls it, on
// file data sources in a temporary folder.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "test_support.h"
#include "win32.h"

namespace {

using dsnconf::test::readFile;
using dsnconf::test::TempFolder;
using dsnconf::test::writeFile;

using RETCODE = short;
using ValidDsnFunction = BOOL (*)(LPCSTR);
using ReadFileDsnFunction = BOOL (*)(LPCSTR, LPCSTR, LPCSTR, LPSTR, WORD, WORD*);
using WriteFileDsnFunction = BOOL (*)(LPCSTR, LPCSTR, LPCSTR, LPCSTR);
using InstallerErrorFunction = RETCODE (*)(WORD, DWORD*, LPSTR, WORD, WORD*);

constexpr RETCODE kSuccess = 0;
constexpr RETCODE kSuccessWithInfo = 1;
constexpr RETCODE kNoData = 100;
constexpr RETCODE kError = -1;

constexpr DWORD kInvalidBufferLength = 2;
constexpr DWORD kInvalidRequestType = 5;
constexpr DWORD kInvalidKeywordValue = 8;
constexpr DWORD kRequestFailed = 11;
constexpr DWORD kInvalidPath = 12;
constexpr DWORD kGeneralError = 1;
constexpr DWORD kTruncated = 22;

template <typename Function>
Function bind(void* library, const char* name) {
  void* symbol = dlsym(library, name);
  if (symbol == nullptr) throw std::runtime_error(std::string("missing ") + name);
  return reinterpret_cast<Function>(symbol);
}

struct Installer {
  Installer() : library(dlopen(DSNCONF_INSTALLER_LIBRARY, RTLD_NOW | RTLD_LOCAL)) {
    if (library == nullptr) throw std::runtime_error(dlerror());
    validDsn = bind<ValidDsnFunction>(library, "SQLValidDSN");
    readFileDsn = bind<ReadFileDsnFunction>(library, "SQLReadFileDSN");
    writeFileDsn = bind<WriteFileDsnFunction>(library, "SQLWriteFileDSN");
    installerError = bind<InstallerErrorFunction>(library, "SQLInstallerError");
  }
  void* library;
  ValidDsnFunction validDsn;
  ReadFileDsnFunction readFileDsn;
  WriteFileDsnFunction writeFileDsn;
  InstallerErrorFunction installerError;
};

// Loaded once for the process and kept, as the program keeps it.
const Installer& installer() {
  static const Installer loaded;
  return loaded;
}

class InstallerLibrary : public ::testing::Test {
 protected:
  std::string file(const std::string& name) const { return folder_.file(name); }

  // SQLReadFileDSN(path, "ODBC", key, buffer, 1024, null): the value, or nothing.
  bool read(const std::string& path, const char* key, std::string& value) const {
    char buffer[1024] = "";
    const BOOL ok =
        installer().readFileDsn(path.c_str(), "ODBC", key, buffer, sizeof buffer, nullptr);
    value = buffer;
    return ok != FALSE;
  }

  bool write(const std::string& path, const char* key, const char* value) const {
    return installer().writeFileDsn(path.c_str(), "ODBC", key, value) != FALSE;
  }

  // The code of the first error record of the last call, 0 when there is none.
  DWORD lastError() const {
    DWORD code = 0;
    char message[256];
    if (installer().installerError(1, &code, message, sizeof message, nullptr) == kNoData) return 0;
    return code;
  }

  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder_.path())) {
      names.push_back(entry.path().filename().string());
    }
    return names;
  }

 private:
  TempFolder folder_;
};

TEST_F(InstallerLibrary, ValidDsnAcceptsOneTo32BytesWithoutSpecialCharacters) {
  struct Case {
    std::string name;
    BOOL valid;
  };
  std::vector<Case> cases = {
      {"Payroll", TRUE},
      {"My DSN 2", TRUE},
      {std::string(32, 'n'), TRUE},
      {std::string(33, 'n'), FALSE},
      {"", FALSE},
  };
  for (const char forbidden : std::string("[]{}(),;?*=!@\\")) {
    cases.push_back({std::string("Pay") + forbidden + "roll", FALSE});
  }
  for (const Case& c : cases) EXPECT_EQ(installer().validDsn(c.name.c_str()), c.valid) << c.name;
  EXPECT_EQ(installer().validDsn(nullptr), FALSE);
}

const char kSample[] =
    "; Payroll database\n"
    "[ODBC]\n"
    "DRIVER=Ivorel ODBC Driver\n"
    "  Port = 1234  \n"
    "UID=a=b\n"
    "Dup=first\n"
    "Dup=second\n"
    "not a setting\n"
    "\n"
    "[Other]\n"
    "SYSTEM=elsewhere\n";

TEST_F(InstallerLibrary, ReadsValuesOfSectionOdbc) {
  const std::string path = file("sample.dsn");
  writeFile(path, kSample);
  struct Case {
    const char* key;
    bool found;
    const char* value;
  };
  const Case cases[] = {
      {"DRIVER", true, "Ivorel ODBC Driver"},
      {"driver", true, "Ivorel ODBC Driver"},
      {"PORT", true, "1234"},
      {"UID", true, "a=b"},
      {"Dup", true, "first"},
      {"SYSTEM", false, ""},
      {"not a setting", false, ""},
      {"Missing", false, ""},
  };
  for (const Case& c : cases) {
    std::string value;
    EXPECT_EQ(read(path, c.key, value), c.found) << c.key;
    EXPECT_EQ(value, c.value) << c.key;
    EXPECT_EQ(lastError(), c.found ? 0u : kRequestFailed) << c.key;
  }
  EXPECT_EQ(readFile(path), kSample);
}

TEST_F(InstallerLibrary, ListsKeyNamesInFileOrder) {
  struct Case {
    const char* content;
    bool found;
    const char* list;
  };
  const Case cases[] = {
      {kSample, true, "DRIVER;Port;UID;Dup"},
      {"[odbc]\nB=1\na=2\n", true, "B;a"},
      {"[ODBC]\n; nothing yet\n", true, ""},
      {"[Other]\nA=1\n", false, ""},
      {"", false, ""},
      // The UTF-8 signature counts only as the file's first bytes; elsewhere
      // its bytes start a key name, even when no earlier line is understood.
      {"\xEF\xBB\xBF[ODBC]\nA=1\n", true, "A"},
      {"; joined\n\xEF\xBB\xBF[ODBC]=x\nA=1\n", false, ""},
      {"\xEF\xBB\xBF\xEF\xBB\xBF[ODBC]=x\nA=1\n", false, ""},
      {"[ODBC]\n\xEF\xBB\xBF[X]=1\nA=2\n", true, "\xEF\xBB\xBF[X];A"},
  };
  for (const Case& c : cases) {
    const std::string path = file("list.dsn");
    writeFile(path, c.content);
    std::string list;
    EXPECT_EQ(read(path, nullptr, list), c.found) << c.content;
    EXPECT_EQ(list, c.list) << c.content;
    EXPECT_EQ(lastError(), c.found ? 0u : kRequestFailed) << c.content;
  }
}

TEST_F(InstallerLibrary, TextThatDoesNotFitIsCutAndReportedAsTruncated) {
  const std::string path = file("cut.dsn");
  writeFile(path, "[ODBC]\nDatabase=0123456789\nA=1\n");
  struct Case {
    const char* key;
    WORD size;
    BOOL result;
    const char* text;
  };
  const Case cases[] = {
      {"Database", 11, TRUE, "0123456789"}, {"Database", 10, FALSE, "012345678"},
      {"Database", 1, FALSE, ""},           {nullptr, 11, TRUE, "Database;A"},
      {nullptr, 5, FALSE, "Data"},
  };
  for (const Case& c : cases) {
    char buffer[32];
    std::memset(buffer, '#', sizeof buffer);
    WORD length = 0;
    EXPECT_EQ(installer().readFileDsn(path.c_str(), "ODBC", c.key, buffer, c.size, &length),
              c.result);
    EXPECT_STREQ(buffer, c.text);
    EXPECT_EQ(std::string(buffer + c.size, sizeof buffer - c.size),
              std::string(sizeof buffer - c.size, '#'))
        << "wrote past the buffer";
    EXPECT_EQ(length, 10u);
    EXPECT_EQ(lastError(), c.result ? 0u : kTruncated);
  }
}

TEST_F(InstallerLibrary, ReadRefusesMissingFilesAndBadArgumentsWithoutCreatingAnything) {
  std::filesystem::create_directory(file("folder.dsn"));
  for (const std::string& path :
       {file("missing.dsn"), file("nofolder/x.dsn"), file("folder.dsn"), std::string()}) {
    std::string value;
    EXPECT_FALSE(read(path, "SYSTEM", value)) << path;
    EXPECT_EQ(lastError(), kInvalidPath) << path;
  }

  writeFile(file("there.dsn"), "[ODBC]\nSYSTEM=x\n");
  char buffer[8];
  EXPECT_FALSE(
      installer().readFileDsn(file("there.dsn").c_str(), "ODBC", "SYSTEM", buffer, 0, nullptr));
  EXPECT_EQ(lastError(), kInvalidBufferLength);
  EXPECT_FALSE(
      installer().readFileDsn(file("there.dsn").c_str(), "ODBC", "SYSTEM", nullptr, 8, nullptr));
  EXPECT_EQ(lastError(), kInvalidBufferLength);
  EXPECT_FALSE(
      installer().readFileDsn(file("there.dsn").c_str(), nullptr, "SYSTEM", buffer, 8, nullptr));
  EXPECT_EQ(lastError(), kInvalidRequestType);
  EXPECT_EQ(folderEntries().size(), 2u) << "reading created a file";
}

struct Edit {
  const char* what;
  std::string before;
  const char* key;
  const char* value;  // null removes the key, or with no key the section
  std::string after;
};

std::string without(std::string text, const std::string& line) {
  return text.erase(text.find(line), line.size());
}

std::string replaced(std::string text, const std::string& line, const std::string& by) {
  return text.replace(text.find(line), line.size(), by);
}

TEST_F(InstallerLibrary, WritingChangesOnlyTheLineOfTheKey) {
  const Edit edits[] = {
      {"replace in place", kSample, "PORT", "5000",
       replaced(kSample, "  Port = 1234  \n", "  Port = 5000\n")},
      {"new key after the section's last key", "[ODBC]\nDRIVER=x\n\n; next\n[Other]\nA=1\n",
       "Database", "db", "[ODBC]\nDRIVER=x\nDatabase=db\n\n; next\n[Other]\nA=1\n"},
      {"new key in an empty section", "[ODBC]\n", "A", "1", "[ODBC]\nA=1\n"},
      {"last line without a line break", "[ODBC]\nA=1", "B", "2", "[ODBC]\nA=1\nB=2\n"},
      {"missing section added at the end", "[Other]\nA=1\n", "DRIVER", "x",
       "[Other]\nA=1\n[ODBC]\nDRIVER=x\n"},
      {"missing section after a last line without a break", "; only a comment", "K", "v",
       "; only a comment\n[ODBC]\nK=v\n"},
      {"key of the same name in another section", "[Other]\nA=1\n[ODBC]\nB=2\n", "A", "5",
       "[Other]\nA=1\n[ODBC]\nB=2\nA=5\n"},
      {"key found in a second ODBC section", "[ODBC]\nA=1\n[X]\nB=2\n[odbc]\nC=3\n", "c", "4",
       "[ODBC]\nA=1\n[X]\nB=2\n[odbc]\nC=4\n"},
      {"new key goes to the first ODBC section", "[ODBC]\nA=1\n[X]\nB=2\n[odbc]\nC=3\n", "D", "4",
       "[ODBC]\nA=1\nD=4\n[X]\nB=2\n[odbc]\nC=3\n"},
      {"Windows line breaks kept", "[ODBC]\r\nA=1\r\n", "B", "2", "[ODBC]\r\nA=1\r\nB=2\r\n"},
      {"UTF-8 signature kept", "\xEF\xBB\xBF[ODBC]\nA=1\n", "A", "2", "\xEF\xBB\xBF[ODBC]\nA=2\n"},
      {"empty value", "[ODBC]\nA = 1\n", "A", "", "[ODBC]\nA = \n"},
      {"value with blanks, quotes and '='", "[ODBC]\nA=1\n", "A", "x = \"y\" ;z",
       "[ODBC]\nA=x = \"y\" ;z\n"},
      {"remove every copy of a key", kSample, "dup", nullptr,
       without(without(kSample, "Dup=first\n"), "Dup=second\n")},
      {"remove a missing key", kSample, "Nothing", nullptr, kSample},
      {"remove the section", kSample, nullptr, nullptr,
       "; Payroll database\n[Other]\nSYSTEM=elsewhere\n"},
      {"a removed first section takes its lines with it",
       "\xEF\xBB\xBF[ODBC]\nA=1\n\xEF\xBB\xBF[Y]\nB=1\n", nullptr, nullptr, ""},
  };
  for (const Edit& edit : edits) {
    const std::string path = file("edit.dsn");
    writeFile(path, edit.before);
    EXPECT_TRUE(installer().writeFileDsn(path.c_str(), "ODBC", edit.key, edit.value)) << edit.what;
    EXPECT_EQ(lastError(), 0u) << edit.what;
    EXPECT_EQ(readFile(path), edit.after) << edit.what;
    std::string readBack;
    if (edit.key == nullptr) continue;
    EXPECT_EQ(read(path, edit.key, readBack), edit.value != nullptr) << edit.what;
    if (edit.value != nullptr) {
      EXPECT_EQ(readBack, edit.value) << edit.what;
    }
  }
}

TEST_F(InstallerLibrary, KeysSetInDamagedFilesReadBackAndOthersKeepTheirValues) {
  using namespace std::string_literals;
  // Lines that are neither a header nor a key belong to no section for the
  // reader as for the writer: a key set after them is the key read back.
  struct Case {
    std::string content;
    const char* key;
    const char* otherKey;  // keeps its value; null when there is none to check
    const char* otherValue;
  };
  const Case cases[] = {
      {"[ODBC]\nSYSTEM=db\n[Other\nLate=1\n", "Late", "SYSTEM", "db"},
      {"[ODBC\nSYSTEM=db\n[ODBC]\nPort=1\n", "SYSTEM", "Port", "1"},
      {"[\nODBC]\nSYSTEM=db\n", "SYSTEM", nullptr, nullptr},
      {"[ODBC]\nSYSTEM=db\nHidden=a\0b\nPort=1\n"s, "Hidden", "Port", "1"},
      {"[ODBC]\nSYSTEM=db\n\0\nPort=1\n"s, "Port", "SYSTEM", "db"},
      {"[ODBC]\r\rSYSTEM=db\rPort=1", "Port", "SYSTEM", "db"},
      {"; joined\n\xEF\xBB\xBF[ODBC]=x\nSYSTEM=db\n[ODBC]\nPort=1\n", "SYSTEM", "Port", "1"},
  };
  const std::string path = file("damaged.dsn");
  for (const Case& c : cases) {
    writeFile(path, c.content);
    ASSERT_TRUE(write(path, c.key, "new")) << c.content;
    std::string value;
    EXPECT_TRUE(read(path, c.key, value)) << c.content;
    EXPECT_EQ(value, "new") << c.content;
    if (c.otherKey != nullptr) {
      EXPECT_TRUE(read(path, c.otherKey, value)) << c.content;
      EXPECT_EQ(value, c.otherValue) << c.content;
    }
    ASSERT_TRUE(write(path, c.key, nullptr)) << c.content;
    EXPECT_FALSE(read(path, c.key, value)) << c.content;
  }
}

TEST_F(InstallerLibrary, WritingRefusesTextThatWouldNotReadBack) {
  struct Refusal {
    const char* section;
    const char* key;
    const char* value;
    DWORD code;
  };
  const Refusal refusals[] = {
      {"ODBC", "K", "two\nlines", kInvalidKeywordValue},
      {"ODBC", "K", "two\rlines", kInvalidKeywordValue},
      {"ODBC", "two\nlines", "v", kInvalidKeywordValue},
      {"ODBC", "a=b", "v", kInvalidKeywordValue},
      {"ODBC", ";k", "v", kInvalidKeywordValue},
      {"ODBC", "k;l", "v", kInvalidKeywordValue},
      {"OD;BC", "k", "v", kInvalidKeywordValue},
      {"ODBC", "#k", "v", kInvalidKeywordValue},
      {"ODBC", "[k", "v", kInvalidKeywordValue},
      {"ODBC", "", "v", kInvalidKeywordValue},
      {"ODBC", " k", "v", kInvalidKeywordValue},
      {"ODBC", "k\t", "v", kInvalidKeywordValue},
      {"OD]BC", "k", "v", kInvalidKeywordValue},
      {"ODBC", nullptr, "v", kInvalidRequestType},
      {nullptr, "k", "v", kInvalidRequestType},
  };
  const std::string path = file("refuse.dsn");
  writeFile(path, kSample);
  for (const Refusal& r : refusals) {
    EXPECT_FALSE(installer().writeFileDsn(path.c_str(), r.section, r.key, r.value))
        << (r.key ? r.key : "(no key)");
    EXPECT_EQ(lastError(), r.code) << (r.key ? r.key : "(no key)");
  }
  EXPECT_EQ(readFile(path), kSample);
}

TEST_F(InstallerLibrary, NamesAreCompletedWithDsnInAnyCase) {
  struct Case {
    std::string name;
    std::string fileCreated;
  };
  const Case cases[] = {
      {"plain", "plain.dsn"},
      {"upper.DSN", "upper.DSN"},
      {"mixed.Dsn", "mixed.Dsn"},
      {"report.dsn.txt", "report.dsn.txt.dsn"},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(write(file(c.name), "K", "v")) << c.name;
    EXPECT_EQ(readFile(file(c.fileCreated)), "[ODBC]\nK=v\n") << c.name;
    std::string value;
    EXPECT_TRUE(read(file(c.name), "K", value)) << c.name;
    EXPECT_EQ(value, "v") << c.name;
  }
  EXPECT_EQ(folderEntries().size(), std::size(cases));
}

mode_t modeOf(const std::string& path) {
  struct stat status {};
  ::stat(path.c_str(), &status);
  return status.st_mode & 07777;
}

TEST_F(InstallerLibrary, ReplacesTheFileWholeKeepingItsMode) {
  const std::string path = file("atomic.dsn");
  writeFile(path, "[ODBC]\nPort=1\n");
  ::chmod(path.c_str(), 0604);
  // A reader that opened the file before the write still sees the old text whole.
  const int reader = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(reader, 0);

  EXPECT_TRUE(write(path, "Port", "2"));

  char old[64] = "";
  EXPECT_GT(::read(reader, old, sizeof old - 1), 0);
  ::close(reader);
  EXPECT_STREQ(old, "[ODBC]\nPort=1\n");
  EXPECT_EQ(readFile(path), "[ODBC]\nPort=2\n");
  EXPECT_EQ(modeOf(path), 0604u);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"atomic.dsn"}) << "temporary file left";
}

TEST_F(InstallerLibrary, NewFileGetsTheUsualPermissions) {
  const mode_t previous = ::umask(027);
  EXPECT_TRUE(write(file("new.dsn"), "K", "v"));
  ::umask(previous);
  EXPECT_EQ(modeOf(file("new.dsn")), 0640u);
}

TEST_F(InstallerLibrary, WritingThroughALinkChangesItsTarget) {
  writeFile(file("real.dsn"), "[ODBC]\nA=1\n");
  std::filesystem::create_symlink(file("real.dsn"), file("link.dsn"));
  EXPECT_TRUE(write(file("link.dsn"), "A", "2"));
  EXPECT_TRUE(std::filesystem::is_symlink(file("link.dsn")));
  EXPECT_EQ(readFile(file("real.dsn")), "[ODBC]\nA=2\n");
}

TEST_F(InstallerLibrary, WriteToAFolderThatIsNotThereFails) {
  std::filesystem::create_directory(file("folder.dsn"));
  EXPECT_FALSE(write(file("nofolder/x.dsn"), "K", "v"));
  EXPECT_EQ(lastError(), kInvalidPath);
  EXPECT_FALSE(write(file("folder.dsn"), "K", "v"));
  EXPECT_EQ(lastError(), kInvalidPath);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"folder.dsn"});
}

TEST_F(InstallerLibrary, RemovingFromAMissingFileCreatesNothing) {
  EXPECT_TRUE(write(file("none.dsn"), "K", nullptr));
  EXPECT_TRUE(installer().writeFileDsn(file("none.dsn").c_str(), "ODBC", nullptr, nullptr));
  EXPECT_TRUE(folderEntries().empty());
}

TEST_F(InstallerLibrary, FailedWriteLeavesTheFileAsItWas) {
  const std::string path = file("full.dsn");
  writeFile(path, "[ODBC]\nA=1\n");
  // A file size limit makes every write past it fail, as a full disk would.
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    std::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{64, 64};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    const bool written = write(path, "A", std::string(200, 'x').c_str());
    ::_exit(written ? 100 : static_cast<int>(lastError()));
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), static_cast<int>(kGeneralError));
  EXPECT_EQ(readFile(path), "[ODBC]\nA=1\n");
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"full.dsn"}) << "temporary file left";
}

TEST_F(InstallerLibrary, ErrorRecordsDescribeTheLastCallOnly) {
  std::string value;
  EXPECT_FALSE(read(file("missing.dsn"), "SYSTEM", value));

  DWORD code = 0;
  WORD length = 0;
  char message[256];
  ASSERT_EQ(installer().installerError(1, &code, message, sizeof message, &length), kSuccess);
  EXPECT_EQ(code, kInvalidPath);
  const std::string full = message;
  EXPECT_NE(full.find("missing.dsn"), std::string::npos) << full;
  EXPECT_EQ(length, full.size());

  char small[16];
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(installer().installerError(1, &code, small, 4, &length), kSuccessWithInfo);
  EXPECT_EQ(std::string(small, 4), full.substr(0, 3) + '\0');
  EXPECT_EQ(std::string(small + 4, sizeof small - 4), std::string(sizeof small - 4, '#'));
  EXPECT_EQ(length, full.size());
  std::memset(small, '#', sizeof small);
  EXPECT_EQ(installer().installerError(1, &code, small, 0, &length), kSuccessWithInfo);
  EXPECT_EQ(small[0], '#') << "a zero-size buffer was written";
  EXPECT_EQ(installer().installerError(1, &code, nullptr, 0, &length), kSuccess);
  EXPECT_EQ(length, full.size());

  EXPECT_EQ(installer().installerError(2, &code, message, sizeof message, nullptr), kNoData);
  EXPECT_EQ(installer().installerError(0, &code, message, sizeof message, nullptr), kError);
  EXPECT_EQ(installer().installerError(9, &code, message, sizeof message, nullptr), kError);

  EXPECT_TRUE(installer().validDsn("Payroll"));
  EXPECT_EQ(installer().installerError(1, &code, message, sizeof message, nullptr), kNoData);
}

}  // namespace
