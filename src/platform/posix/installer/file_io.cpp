#include "file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <utility>

namespace dsnconf::odbccp {
namespace {

// Owns one file descriptor.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  // Closes now, so that a failure to close (a late write error) can be seen.
  int close() {
    const int result = ::close(fd_);
    fd_ = -1;
    return result;
  }

 private:
  int fd_;
};

// Removes the temporary file unless it has been renamed into place.
class TemporaryFile {
 public:
  explicit TemporaryFile(std::string path) : path_(std::move(path)) {}
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  const std::string& path() const { return path_; }
  void release() { path_.clear(); }

 private:
  std::string path_;
};

std::string folderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string nameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The file behind a symbolic link is the one to change, so the link survives.
std::string followLinks(const std::string& path) {
  char* resolved = ::realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return path;
  std::string target = resolved;
  std::free(resolved);
  return target;
}

// A new file gets the permissions any other new file would get here. The
// process mask can only be read by setting it; the program has one thread.
mode_t newFileMode() {
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

bool writeAll(int fd, const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    written += static_cast<std::size_t>(n);
  }
  return true;
}

// Makes the rename itself durable; a folder that cannot be synced is not an error.
void syncFolder(const std::string& folder) {
  const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) ::fsync(fd.get());
}

}  // namespace

FileContent readWholeFile(const std::string& path) {
  FileContent content;
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat status;
  if (fd.get() < 0 || ::fstat(fd.get(), &status) != 0) {
    content.error = errno;
    return content;
  }
  if (S_ISDIR(status.st_mode)) {
    content.error = EISDIR;
    return content;
  }
  char chunk[4096];
  for (;;) {
    const ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      content.error = errno;
      content.bytes.clear();
      return content;
    }
    if (n == 0) return content;
    content.bytes.append(chunk, static_cast<std::size_t>(n));
  }
}

int replaceFile(const std::string& path, const std::string& bytes) {
  const std::string target = followLinks(path);
  struct stat existing;
  const bool exists = ::stat(target.c_str(), &existing) == 0;
  if (exists && S_ISDIR(existing.st_mode)) return EISDIR;

  const std::string folder = folderOf(target);
  std::string pattern = folder + "/." + nameOf(target) + ".XXXXXX";
  Descriptor fd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (fd.get() < 0) return errno;
  TemporaryFile temporary(pattern);

  const mode_t mode = exists ? existing.st_mode & 07777 : newFileMode();
  if (!writeAll(fd.get(), bytes) || ::fchmod(fd.get(), mode) != 0 || ::fsync(fd.get()) != 0) {
    return errno;
  }
  // Keeping the owner is possible only with the rights to give files away;
  // without them the new file belongs to the caller, as any file it writes.
  if (exists && ::fchown(fd.get(), existing.st_uid, existing.st_gid) != 0 && errno != EPERM) {
    return errno;
  }
  if (fd.close() != 0) return errno;
  if (::rename(temporary.path().c_str(), target.c_str()) != 0) return errno;
  temporary.release();
  syncFolder(folder);
  return 0;
}

}  // namespace dsnconf::odbccp
