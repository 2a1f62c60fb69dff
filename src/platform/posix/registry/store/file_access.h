// The files of a hive, as the store reads and writes them: descriptors and
// locks held for a scope, whole reads and writes at an offset, and the Win32
// error that a failed call's errno stands for.
#pragma once

#include <sys/file.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <string>

#include "win32.h"

namespace dsnconf::posix {

LONG errorFromErrno(int error, bool writing);

// Owns one open file descriptor.
class FileDescriptor {
 public:
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(const FileDescriptor&) = delete;
  FileDescriptor& operator=(const FileDescriptor&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }
  // Closes now, reporting the error that close() can bring for written data.
  int close() {
    int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Holds an exclusive flock for one scope.
class ExclusiveLock {
 public:
  explicit ExclusiveLock(int fd) : fd_(fd) {
    int result;
    do {
      result = ::flock(fd_, LOCK_EX);
    } while (result != 0 && errno == EINTR);
    locked_ = result == 0;
  }
  ~ExclusiveLock() {
    if (locked_) ::flock(fd_, LOCK_UN);
  }
  ExclusiveLock(const ExclusiveLock&) = delete;
  ExclusiveLock& operator=(const ExclusiveLock&) = delete;
  bool locked() const { return locked_; }

 private:
  int fd_;
  bool locked_ = false;
};

// Reads `length` bytes at `offset`, fewer where the file ends first.
bool readRange(int fd, off_t offset, std::size_t length, std::string& bytes);
bool readToEnd(int fd, std::string& bytes);
bool writeAt(int fd, off_t offset, const std::string& bytes);

// The one line on stderr for a hive file that cannot be read.
void reportUnreadable(const std::string& path, const std::string& why);

}  // namespace dsnconf::posix
