// The index beside a large hive file: loading through it, writing it after a
// whole read or a rewrite, and restamping it after an append.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <unordered_map>
#include <utility>

#include "registry/store/file_access.h"
#include "registry/store/file_value_source.h"
#include "registry/store/hive.h"

namespace dsnconf::posix {

namespace {

// Journal bytes past what the index covers beyond which a load indexes the
// hive afresh: parsing that much costs a few milliseconds.
constexpr std::size_t kUnindexedJournalLimit = 256 * 1024;

std::atomic<std::size_t> indexThreshold{Hive::kDefaultIndexThreshold};
std::atomic<std::uint64_t> indexedLoadCount{0};

}  // namespace

void Hive::setIndexThreshold(std::size_t bytes) {
  indexThreshold = bytes;
}

std::uint64_t Hive::indexedLoads() {
  return indexedLoadCount;
}

bool Hive::indexWanted(off_t fileSize) const {
  return fileSize >= 0 && static_cast<std::size_t>(fileSize) >= indexThreshold;
}

bool Hive::loadIndexed(int fd, const struct stat& st) {
  if (!indexWanted(st.st_size)) return false;
  FileDescriptor indexFd(::open(indexPath_.c_str(), O_RDONLY | O_CLOEXEC));
  std::string text;
  if (!indexFd.valid() || !readToEnd(indexFd.get(), text)) return false;
  // Only the stamp line first: a stale index is not worth parsing.
  HiveIndex index;
  const std::size_t stampEnd = text.find('\n', stampLineOffset());
  if (stampEnd == std::string::npos ||
      !parseStampLine(
          std::string_view(text).substr(stampLineOffset(), stampEnd - stampLineOffset()),
          index.stamp) ||
      index.stamp != FileStamp::of(st)) {
    return false;
  }
  auto root = std::make_shared<RegKey>(rootName_, nullptr);
  auto source = std::make_shared<const FileValueSource>(fd, path_);
  if (!readHiveIndex(std::move(text), index, *root, source) ||
      index.end > static_cast<std::size_t>(st.st_size)) {
    return false;
  }
  // Entries appended since the index was written are parsed at every load.
  // Once they are many, this load reads the file whole instead and writes an
  // index that covers them too.
  if (static_cast<std::size_t>(st.st_size) - index.end > kUnindexedJournalLimit) return false;
  std::string tail;
  const std::size_t tailStart = index.end - std::min(kTailBytes, index.end);
  if (!readRange(fd, static_cast<off_t>(tailStart), index.end - tailStart, tail)) return false;

  root_ = root;
  values_ = source;
  appendable_ = true;
  consumedEnd_ = index.end;
  lineAtEnd_ = index.line;
  tail_ = tail;
  journalBytes_ = index.journalBytes;
  ++indexedLoadCount;
  return true;
}

void Hive::indexAfterRead(const struct stat& st) {
  if (!appendable_ || !indexWanted(st.st_size)) return;
  HiveIndex index;
  index.stamp = FileStamp::of(st);
  index.end = consumedEnd_;
  index.line = lineAtEnd_;
  index.journalBytes = journalBytes_;
  // Straight after the parse every key's values are still pending, so the
  // pending segments are all there is to each key.
  index.keys = indexKeys(*root_, [](const RegKey& key) { return key.pendingValues(); });

  // The index is written under the hive's lock, for a file that is still the
  // one read; a hive busy with a change is indexed another time. A change of
  // this process that reads the file anew holds the lock already, and keeps
  // it: flock would grant it again through the same file and then drop it.
  auto storeIfCurrent = [&]() {
    struct stat now {};
    if (::stat(path_.c_str(), &now) == 0 && FileStamp::of(now) == index.stamp) storeIndex(index);
  };
  if (changing_) return storeIfCurrent();
  int lockFd = -1;
  if (lockFile(lockFd) != ERROR_SUCCESS || ::flock(lockFd, LOCK_EX | LOCK_NB) != 0) return;
  storeIfCurrent();
  ::flock(lockFd, LOCK_UN);
}

void Hive::indexAfterRewrite(const KeySegments& valueLines) {
  if (!indexWanted(file_.size)) {
    // A stale index is never used, but need not stay behind either.
    ::unlink(indexPath_.c_str());
    return;
  }
  struct stat st {};
  if (::fstat(fileFd_, &st) != 0) return;
  HiveIndex index;
  index.stamp = FileStamp::of(st);
  index.end = consumedEnd_;
  index.line = lineAtEnd_;
  std::unordered_map<const RegKey*, ValueSegment> where(valueLines.begin(), valueLines.end());
  index.keys = indexKeys(*root_, [&](const RegKey& key) {
    auto it = where.find(&key);
    return it == where.end() ? std::vector<ValueSegment>{} : std::vector<ValueSegment>{it->second};
  });
  storeIndex(index);
}

void Hive::storeIndex(const HiveIndex& index) {
  // A cache: a failure to write it costs the next load time, nothing else,
  // and a file the system loses half of fails its checks.
  forgetIndexFile();
  const std::string temp = indexPath_ + ".tmp";
  FileDescriptor fd(
      ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, file_.mode & 0666));
  if (!fd.valid()) return;
  bool written = writeAt(fd.get(), 0, formatHiveIndex(index));
  if (fd.close() != 0 || !written || ::rename(temp.c_str(), indexPath_.c_str()) != 0) {
    ::unlink(temp.c_str());
  }
}

int Hive::indexDescribing(const struct stat& st) {
  if (!indexWanted(st.st_size)) return -1;
  // Kept open from one change to the next: a walk changing thousands of
  // values restamps it each time. An index another process writes anew
  // meanwhile is then left with an old stamp, and indexed again at a load.
  if (indexFd_ < 0) indexFd_ = ::open(indexPath_.c_str(), O_RDWR | O_CLOEXEC);
  std::string line;
  FileStamp stamp;
  const std::size_t length = formatStampLine(stamp).size();
  if (indexFd_ >= 0 && readRange(indexFd_, static_cast<off_t>(stampLineOffset()), length, line) &&
      parseStampLine(line, stamp) && stamp == FileStamp::of(st)) {
    return indexFd_;
  }
  forgetIndexFile();
  return -1;
}

void Hive::restampIndex(int indexFd, const struct stat& st) {
  writeAt(indexFd, static_cast<off_t>(stampLineOffset()), formatStampLine(FileStamp::of(st)));
}

void Hive::forgetIndexFile() {
  if (indexFd_ >= 0) ::close(indexFd_);
  indexFd_ = -1;
}

}  // namespace dsnconf::posix
