// Hive files keep every value exactly, are written only when a call changes them, are never
// overwritten when they cannot be parsed, and stay consistent with other processes' changes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "registry/text/journal.h"
#include "registry/tree/tree_text.h"
#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

constexpr REGSAM kAll = KEY_ALL_ACCESS;

class RegistryFilesTest : public RegistryTest {
 protected:
  std::string canonicalOf(const std::string& path) {
    std::string canonical;
    std::string error;
    EXPECT_TRUE(posix::canonicalRegText(readFile(path), canonical, error)) << error;
    return canonical;
  }
  // Runs `body` in a child process, as another program would, and returns its exit status.
  template <typename Body>
  int inChild(Body body) {
    pid_t pid = ::fork();
    if (pid == 0) {
      posix::resetRegistryForTests();
      ::_exit(body());
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }
};

struct FileStamp {
  ino_t inode;
  timespec modified;
  off_t size;
};

FileStamp stampOf(const std::string& path) {
  struct stat st {};
  EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
  return {st.st_ino, st.st_mtim, st.st_size};
}

bool sameStamp(const FileStamp& a, const FileStamp& b) {
  return a.inode == b.inode && a.size == b.size && a.modified.tv_sec == b.modified.tv_sec &&
         a.modified.tv_nsec == b.modified.tv_nsec;
}

TEST_F(RegistryFilesTest, EveryValueTypeSurvivesWritingAndReading) {
  const std::vector<EnumeratedValue> values = {
      {"sz", REG_SZ, std::string("text\0", 5)},
      {"", REG_SZ, std::string("default \"quoted\" \\ \xE9") + '\0'},
      {"unterminated", REG_SZ, "abc"},
      {"empty", REG_SZ, ""},
      {"inner zero", REG_SZ, std::string("a\0b\0", 4)},
      {"line break", REG_SZ, std::string("a\r\nb") + '\0'},
      {"expand", REG_EXPAND_SZ, std::string("%TEMP%\\x\0", 9)},
      {"binary", REG_BINARY, std::string("\0\x01\xFE\xFF", 4)},
      {"dword", REG_DWORD, std::string("\x01\x00\x00\x80", 4)},
      {"short dword", REG_DWORD, std::string("\x01", 1)},
      {"big endian", REG_DWORD_BIG_ENDIAN, std::string("\x00\x00\x00\x02", 4)},
      {"link", REG_LINK, std::string("L\0i\0", 4)},
      {"multi", REG_MULTI_SZ, std::string("one\0two\0\0", 9)},
      {"qword", REG_QWORD, std::string("\x01\x02\x03\x04\x05\x06\x07\x08", 8)},
      {"none", REG_NONE, ""},
      {"custom", 0x7FFF, std::string(200, '\x5A')},
  };
  {
    ScopedKey key;
    createUserDsn(key);
    for (const EnumeratedValue& value : values) {
      // A byte other than zero after the data keeps strings exactly as given.
      std::string buffer = value.data + 'X';
      ASSERT_EQ(RegSetValueExA(key.get(), value.name.c_str(), 0, value.type,
                               reinterpret_cast<const BYTE*>(buffer.data()),
                               static_cast<DWORD>(value.data.size())),
                ERROR_SUCCESS)
          << value.name;
    }
    EXPECT_EQ(enumerate(key.get()), values);
  }
  {
    // Read back from the journal.
    restart();
    ScopedKey key;
    createUserDsn(key);
    EXPECT_EQ(enumerate(key.get()), values);
    // Then from a file written whole.
    posix::setJournalLimitForTests(0);
    ASSERT_EQ(RegDeleteValueA(key.get(), "none"), ERROR_SUCCESS);
  }
  restart();
  ScopedKey key;
  createUserDsn(key);
  std::vector<EnumeratedValue> withoutNone = values;
  withoutNone.erase(withoutNone.end() - 2);
  EXPECT_EQ(enumerate(key.get()), withoutNone);
  EXPECT_EQ(readFile(userHive()).find(posix::kJournalBegin), std::string::npos);
}

TEST_F(RegistryFilesTest, FileNoCallChangedIsNeverWritten) {
  const std::string original =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "; written by hand\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\r\n"
      "\"Driver\" = \"Ivorel\"   ; trailing comment\r\n"
      "\"Blob\"=hex:01,\\\r\n    02\r\n";
  writeFile(userHive(), original);
  const FileStamp before = stampOf(userHive());
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, key.out()), 0);
  std::string value;
  EXPECT_EQ(getString(key.get(), "Driver", value), 0);
  EXPECT_EQ(value, "Ivorel");
  EXPECT_EQ(enumerate(key.get()).size(), 2u);
  // Calls that change nothing: a missing value, the same data again, an existing key.
  EXPECT_EQ(RegDeleteValueA(key.get(), "Missing"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(setString(key.get(), "Driver", "Ivorel"), ERROR_SUCCESS);
  ScopedKey existing;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, nullptr, 0, kAll, nullptr,
                            existing.out(), nullptr),
            0);
  restart();
  EXPECT_TRUE(sameStamp(stampOf(userHive()), before));
  EXPECT_EQ(readFile(userHive()), original);
  struct stat st {};
  EXPECT_NE(::stat(machineHive().c_str(), &st), 0) << "an untouched hive was created";
}

TEST_F(RegistryFilesTest, ChangesAreAppendedAsJournalEntries) {
  const std::string original =
      "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\r\n"
      "\"Driver\"=\"Ivorel\"";
  writeFile(userHive(), original);
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, key.out()), 0);
  ASSERT_EQ(setString(key.get(), "Server", "db1"), 0);
  ASSERT_EQ(RegDeleteValueA(key.get(), "Driver"), 0);
  std::string after = readFile(userHive());
  EXPECT_EQ(after.compare(0, original.size(), original), 0);
  EXPECT_EQ(after.substr(original.size(), 1 + posix::kJournalBegin.size()),
            "\n" + std::string(posix::kJournalBegin));
  restart();
  ScopedKey reopened;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, reopened.out()), 0);
  std::vector<EnumeratedValue> expected = {{"Server", REG_SZ, std::string("db1\0", 4)}};
  EXPECT_EQ(enumerate(reopened.get()), expected);
}

TEST_F(RegistryFilesTest, UnparsableHiveFailsEveryCallAndIsNeverOverwritten) {
  const std::string damaged =
      "Windows Registry Editor Version 5.00\n\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\X]\n\"a\"=\"1\"\n"
      "\"b\"=what\n";
  writeFile(machineHive(), damaged);
  testing::internal::CaptureStderr();
  HKEY key = nullptr;
  EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\X", 0, KEY_READ | KEY_WOW64_64KEY, &key),
            ERROR_BADDB);
  EXPECT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Y", 0, nullptr, 0, kAll, nullptr, &key,
                            nullptr),
            ERROR_BADDB);
  EXPECT_EQ(setString(HKEY_LOCAL_MACHINE, "v", "x"), ERROR_BADDB);
  std::string stderrText = testing::internal::GetCapturedStderr();
  EXPECT_EQ(stderrText, "dsnconf: registry hive " + machineHive() +
                            " cannot be read: line 5: value data of unknown form\n");
  EXPECT_EQ(readFile(machineHive()), damaged);
  // The other hive is unaffected.
  ScopedKey user;
  EXPECT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Y", 0, nullptr, 0, kAll, nullptr,
                            user.out(), nullptr),
            ERROR_SUCCESS);
}

TEST_F(RegistryFilesTest, RegeditUtf16ExportIsReadAndRewrittenOnChange) {
  const std::string text =
      "Windows Registry Editor Version 5.00\r\n\r\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
      "\"Payroll\"=\"Ivorel\"\r\n"
      "\"Legacy\"=\"Other\"\r\n\r\n";
  std::string utf16 = "\xFF\xFE";
  for (char c : text) {
    utf16 += c;
    utf16 += '\0';
  }
  writeFile(machineHive(), utf16);
  ScopedKey list;
  ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", 0,
                          kAll | KEY_WOW64_64KEY, list.out()),
            0);
  std::string value;
  EXPECT_EQ(getString(list.get(), "Payroll", value), 0);
  EXPECT_EQ(value, "Ivorel");
  EXPECT_EQ(readFile(machineHive()), utf16);
  ASSERT_EQ(setString(list.get(), "Payroll", "Ivorel 3"), 0);
  restart();
  std::string canonical = canonicalOf(machineHive());
  EXPECT_NE(canonical.find("\"Payroll\"=\"Ivorel 3\"\n\"Legacy\"=\"Other\"\n"), std::string::npos)
      << canonical;
}

TEST_F(RegistryFilesTest, WholeFileRewriteKeepsTheFileMode) {
  posix::setJournalLimitForTests(512);
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "first", "1"), 0);
  ASSERT_EQ(::chmod(userHive().c_str(), 0640), 0);
  for (int i = 0; i < 40; ++i) ASSERT_EQ(setString(key.get(), "v", std::to_string(i)), 0);
  struct stat st {};
  ASSERT_EQ(::stat(userHive().c_str(), &st), 0);
  const std::string text = readFile(userHive());
  std::size_t entries = 0;
  for (std::size_t at = text.find(posix::kJournalBegin); at != std::string::npos;
       at = text.find(posix::kJournalBegin, at + 1)) {
    ++entries;
  }
  EXPECT_LT(entries, 10u) << "the journal never got rewritten";
  EXPECT_EQ(st.st_mode & 07777, 0640u);
  EXPECT_LT(st.st_size, 2 * 512 + 400);
  restart();
  ScopedKey reopened;
  createUserDsn(reopened);
  std::vector<EnumeratedValue> expected = {{"first", REG_SZ, std::string("1\0", 2)},
                                           {"v", REG_SZ, std::string("39\0", 3)}};
  EXPECT_EQ(enumerate(reopened.get()), expected);
}

TEST_F(RegistryFilesTest, HiveFileThatIsALinkStaysALink) {
  const std::string elsewhere = folder_ + "/elsewhere.reg";
  writeFile(elsewhere, "REGEDIT4\n[HKEY_CURRENT_USER\\A]\n\"x\"=\"1\"\n");
  ASSERT_EQ(::symlink(elsewhere.c_str(), userHive().c_str()), 0);
  posix::setJournalLimitForTests(0);
  ScopedKey key;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "A", 0, kAll, key.out()), 0);
  ASSERT_EQ(setString(key.get(), "y", "2"), 0);
  struct stat st {};
  ASSERT_EQ(::lstat(userHive().c_str(), &st), 0);
  EXPECT_TRUE(S_ISLNK(st.st_mode));
  EXPECT_NE(readFile(elsewhere).find("\"y\"=\"2\""), std::string::npos);
}

TEST_F(RegistryFilesTest, ChangesOfOtherProcessesAreKeptAndSeen) {
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "mine", "1"), 0);
  // Another process appends, and another rewrites the whole file.
  EXPECT_EQ(inChild([&] {
              ScopedKey other;
              if (RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, other.out()) != 0)
                return 1;
              return setString(other.get(), "theirs", "2") == 0 ? 0 : 2;
            }),
            0);
  ASSERT_EQ(setString(key.get(), "mine again", "3"), 0);
  EXPECT_EQ(inChild([&] {
              posix::setJournalLimitForTests(0);
              ScopedKey other;
              if (RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, other.out()) != 0)
                return 1;
              if (RegDeleteValueA(other.get(), "mine") != 0) return 2;
              return setString(other.get(), "rewritten", "4") == 0 ? 0 : 3;
            }),
            0);
  // The handle opened before the file was replaced still addresses its key.
  ASSERT_EQ(setString(key.get(), "last", "5"), 0);
  std::vector<std::string> names;
  for (const EnumeratedValue& value : enumerate(key.get())) names.push_back(value.name);
  const std::vector<std::string> expected = {"theirs", "mine again", "rewritten", "last"};
  EXPECT_EQ(names, expected);
  restart();
  ScopedKey reopened;
  createUserDsn(reopened);
  names.clear();
  for (const EnumeratedValue& value : enumerate(reopened.get())) names.push_back(value.name);
  EXPECT_EQ(names, expected);
}

TEST_F(RegistryFilesTest, KeyDeletedByAnotherProcessReportsKeyDeleted) {
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "v", "1"), 0);
  EXPECT_EQ(
      inChild([&] { return RegDeleteKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, 0) == 0 ? 0 : 1; }),
      0);
  EXPECT_EQ(setString(key.get(), "v", "2"), ERROR_KEY_DELETED);
}

TEST_F(RegistryFilesTest, UnfinishedEntryIsIgnoredThenCutOff) {
  ScopedKey key;
  createUserDsn(key);
  ASSERT_EQ(setString(key.get(), "kept", "1"), 0);
  const std::string complete = readFile(userHive());
  std::string entry = posix::journalEntry(
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\n\"torn\"=\"2\"\n");
  writeFile(userHive(), complete + entry.substr(0, entry.size() - 5) + std::string(300, '\0'));
  restart();
  ScopedKey reopened;
  createUserDsn(reopened);
  std::string value;
  EXPECT_EQ(getString(reopened.get(), "torn", value), ERROR_FILE_NOT_FOUND);
  ASSERT_EQ(setString(reopened.get(), "next", "3"), 0);
  const std::string after = readFile(userHive());
  EXPECT_EQ(after.compare(0, complete.size(), complete), 0);
  EXPECT_EQ(after.find("torn"), std::string::npos);
  std::vector<std::string> names;
  for (const EnumeratedValue& v : enumerate(reopened.get())) names.push_back(v.name);
  EXPECT_EQ(names, (std::vector<std::string>{"kept", "next"}));
}

TEST_F(RegistryFilesTest, HiveThatMayNotBeWrittenRefusesChanges) {
  {
    ScopedKey key;
    createUserDsn(key);
    ASSERT_EQ(setString(key.get(), "v", "1"), 0);
  }
  const std::string original = readFile(userHive());
  auto attemptChanges = [&]() {
    // Root may write anything: become an ordinary user first.
    if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) return 10;
    ScopedKey child;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kPayrollPath, 0, kAll, child.out()) != 0) return 11;
    std::string value;
    if (getString(child.get(), "v", value) != 0 || value != "1") return 12;
    if (setString(child.get(), "v", "2") != ERROR_ACCESS_DENIED) return 13;
    if (RegDeleteValueA(child.get(), "v") != ERROR_ACCESS_DENIED) return 14;
    HKEY created = nullptr;
    if (RegCreateKeyExA(child.get(), "Sub", 0, nullptr, 0, kAll, nullptr, &created, nullptr) !=
        ERROR_ACCESS_DENIED) {
      return 15;
    }
    return 0;
  };
  ASSERT_EQ(::chmod(folder_.c_str(), 0555), 0);
  ASSERT_EQ(::chmod(userHive().c_str(), 0644), 0);
  EXPECT_EQ(inChild(attemptChanges), 0) << "read-only folder";
  ASSERT_EQ(::chmod(folder_.c_str(), 0777), 0);
  ASSERT_EQ(::chmod(userHive().c_str(), 0444), 0);
  EXPECT_EQ(inChild(attemptChanges), 0) << "read-only file";
  EXPECT_EQ(readFile(userHive()), original);
}

}  // namespace
}  // namespace dsnconf::test
