#include "registry/store/file_access.h"

#include <cstdio>

namespace dsnconf::posix {

namespace {

constexpr std::size_t kReadChunk = 64 * 1024;

}  // namespace

LONG errorFromErrno(int error, bool writing) {
  switch (error) {
    case EACCES:
    case EPERM:
    case EROFS:
      return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
      return ERROR_DISK_FULL;
    case ENOMEM:
      return ERROR_OUTOFMEMORY;
    case ENOENT:
    case ENOTDIR:
      return ERROR_PATH_NOT_FOUND;
    default:
      return writing ? ERROR_WRITE_FAULT : ERROR_READ_FAULT;
  }
}

bool readRange(int fd, off_t offset, std::size_t length, std::string& bytes) {
  bytes.resize(length);
  std::size_t done = 0;
  while (done < length) {
    ssize_t got = ::pread(fd, &bytes[done], length - done, offset + static_cast<off_t>(done));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  bytes.resize(done);
  return true;
}

bool readToEnd(int fd, std::string& bytes) {
  bytes.clear();
  char chunk[kReadChunk];
  while (true) {
    ssize_t got = ::read(fd, chunk, sizeof chunk);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return false;
    if (got == 0) return true;
    bytes.append(chunk, static_cast<std::size_t>(got));
  }
}

bool writeAt(int fd, off_t offset, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put =
        ::pwrite(fd, bytes.data() + done, bytes.size() - done, offset + static_cast<off_t>(done));
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return false;
    done += static_cast<std::size_t>(put);
  }
  return true;
}

void reportUnreadable(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "dsnconf: registry hive %s cannot be read: %s\n", path.c_str(), why.c_str());
  std::fflush(stderr);
}

}  // namespace dsnconf::posix
