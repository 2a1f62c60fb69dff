// Small tmpfs file systems for the fault tests: mounted for one test, and
// filled up so that a write finds no room.
#pragma once

#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace dsnconf::test {

// The block size of tmpfs: the page size.
inline const std::size_t kBlockSize = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));

// A small tmpfs, of `size` (as mount takes it), mounted over a fresh folder
// for one test.
class TmpfsMount {
 public:
  explicit TmpfsMount(const std::string& folder, const std::string& size = "64k")
      : folder_(folder), options_("size=" + size) {
    std::filesystem::create_directories(folder_);
    if (::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options_.c_str()) != 0) {
      error_ = std::strerror(errno);
    }
  }
  ~TmpfsMount() {
    if (error_.empty()) ::umount2(folder_.c_str(), MNT_DETACH);
  }
  TmpfsMount(const TmpfsMount&) = delete;
  TmpfsMount& operator=(const TmpfsMount&) = delete;

  // Empty when mounted.
  const std::string& error() const { return error_; }
  bool makeReadOnly() {
    return ::mount("tmpfs", folder_.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, options_.c_str()) ==
           0;
  }

 private:
  std::string folder_;
  std::string options_;
  std::string error_;
};

// Writes a file that takes up the rest of the file system's space.
inline void fillUp(const std::string& path) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0);
  const std::string block(4096, 'f');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  // Single bytes for the last partial block.
  while (::write(fd, "f", 1) > 0) {
  }
  EXPECT_EQ(errno, ENOSPC);
  ::close(fd);
}

}  // namespace dsnconf::test
