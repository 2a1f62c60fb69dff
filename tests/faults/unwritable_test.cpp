// A hive or a file data source that cannot be written (a full disk, a
// read-only mount, an immutable file) makes set and delete fail with their
// failure line and status and leaves the file as it was. Root may write any
// file whatever its mode, so the tests use what root cannot get past; where
// the machine does not allow them, they are skipped with the reason.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "fault_support.h"
#include "tmpfs_support.h"

namespace dsnconf::test {
namespace {

constexpr const char* kUserHive =
    "Windows Registry Editor Version 5.00\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\n"
    "\"Payroll\"=\"Ivorel ODBC Driver\"\n\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\n"
    "\"Server\"=\"payroll-db\"\n"
    "\"Port\"=\"5432\"\n";
constexpr const char* kFileDsn = "[ODBC]\nDRIVER=Ivorel ODBC Driver\nSYSTEM=db\nPort=5432\n";

// A value that needs blocks of its own: the last, partly used block of a file
// cannot take it.
const std::string kLongValue(8192, 'v');

std::vector<std::string> entries(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

struct Attempt {
  std::vector<std::string> args;
  std::string failureLine;
};

// set and delete of a registry data source and of a file data source, each
// with the line it prints when the write fails.
std::vector<Attempt> attempts(const std::string& fileDsn) {
  return {
      {{"set", "/dsn", "Payroll", "Port", kLongValue},
       "*** Couldn't set property Port to '" + kLongValue + "' ***\n"},
      {{"set", "/dsn", "Payroll", "Timeout", "30"},
       "*** Couldn't set property Timeout to '30' ***\n"},
      {{"delete", "/dsn", "Payroll", "Port"}, "*** Couldn't delete property Port ***\n"},
      {{"set", "/fdsn", fileDsn, "Port", kLongValue},
       "*** Couldn't set property Port to '" + kLongValue + "' ***\n"},
      {{"set", "/fdsn", fileDsn, "Timeout", "30"},
       "*** Couldn't set property Timeout to '30' ***\n"},
      {{"delete", "/fdsn", fileDsn, "Port"}, "*** Couldn't delete property Port ***\n"},
  };
}

class Unwritable : public ::testing::Test {
 protected:
  void SetUp() override {
    mountPoint_ = folder_.file("mount");
    registry_ = mountPoint_ + "/registry";
    hive_ = registry_ + "/HKEY_CURRENT_USER.reg";
    fileDsn_ = mountPoint_ + "/payroll.dsn";
  }

  void populate() {
    std::filesystem::create_directories(registry_);
    // A comment fills the hive's last block: on a full disk no entry, however
    // short, fits behind it.
    hiveText_ = kUserHive;
    const std::size_t room = kBlockSize - (hiveText_.size() + 3) % kBlockSize;
    hiveText_ += "; " + std::string(room, '-') + "\n";
    writeFile(hive_, hiveText_);
    writeFile(fileDsn_, kFileDsn);
    // The lock file is made on the first change; make it now, while there is room.
    writeFile(hive_ + ".lock", "");
  }

  // Each attempt fails with its line and a non-zero status, and neither file
  // changes nor is any file added or left behind.
  void expectEveryAttemptRefused() {
    const std::vector<std::string> before = entries(mountPoint_);
    const std::vector<std::string> registryBefore = entries(registry_);
    for (const Attempt& attempt : attempts(fileDsn_)) {
      const std::string context = attempt.args[0] + " " + attempt.args[1] + " " + attempt.args[3];
      const ProcessResult result =
          runProcess(DSNCONF_BINARY, attempt.args, {{"DSNCONF_REGISTRY", registry_}});
      EXPECT_EQ(result.out, attempt.failureLine) << context;
      EXPECT_NE(result.exitStatus, 0) << context;
      EXPECT_EQ(result.err, "") << context;
      EXPECT_EQ(readFile(hive_), hiveText_) << context;
      EXPECT_EQ(readFile(fileDsn_), kFileDsn) << context;
      EXPECT_EQ(entries(mountPoint_), before) << context;
      EXPECT_EQ(entries(registry_), registryBefore) << context;
    }
  }

  TempFolder folder_;
  std::string mountPoint_;
  std::string registry_;
  std::string hive_;
  std::string fileDsn_;
  std::string hiveText_;
};

TEST_F(Unwritable, FullDiskRefusesChanges) {
  TmpfsMount mount(mountPoint_);
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  populate();
  fillUp(mountPoint_ + "/filler");
  expectEveryAttemptRefused();
}

TEST_F(Unwritable, FullDiskRefusesTheRewriteOfAHiveThatCannotTakeAnEntry) {
  TmpfsMount mount(mountPoint_);
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  populate();
  // A regedit export in UTF-16 is written anew, as 8-bit text, before the
  // first entry is appended to it.
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string(kUserHive)) utf16 += std::string{c, '\0'};
  writeFile(hive_, utf16);
  fillUp(mountPoint_ + "/filler");
  const ProcessResult result =
      runProcess(DSNCONF_BINARY, {"set", "/dsn", "Payroll", "Timeout", "30"},
                 {{"DSNCONF_REGISTRY", registry_}});
  EXPECT_EQ(result.out, "*** Couldn't set property Timeout to '30' ***\n");
  EXPECT_NE(result.exitStatus, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(readFile(hive_), utf16);
  EXPECT_EQ(entries(registry_),
            (std::vector<std::string>{"HKEY_CURRENT_USER.reg", "HKEY_CURRENT_USER.reg.lock"}));
}

TEST_F(Unwritable, ReadOnlyMountRefusesChanges) {
  TmpfsMount mount(mountPoint_);
  if (!mount.error().empty()) GTEST_SKIP() << "cannot mount a tmpfs here: " << mount.error();
  populate();
  ASSERT_TRUE(mount.makeReadOnly()) << std::strerror(errno);
  expectEveryAttemptRefused();
}

// Sets or clears the immutable attribute, which binds root too; false where
// the file system has no such attribute or the process may not set it.
bool setImmutable(const std::string& path, bool immutable, std::string& error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  int flags = 0;
  bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
  if (done) {
    flags = immutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
  }
  if (!done) error = std::strerror(errno);
  if (fd >= 0) ::close(fd);
  return done;
}

TEST_F(Unwritable, ImmutableFilesRefuseChanges) {
  populate();
  std::string error;
  if (!setImmutable(hive_, true, error)) {
    GTEST_SKIP() << "cannot make a file immutable here: " << error;
  }
  const bool fileDsnImmutable = setImmutable(fileDsn_, true, error);
  if (fileDsnImmutable) expectEveryAttemptRefused();
  setImmutable(hive_, false, error);
  setImmutable(fileDsn_, false, error);
  ASSERT_TRUE(fileDsnImmutable) << error;
}

}  // namespace
}  // namespace dsnconf::test
