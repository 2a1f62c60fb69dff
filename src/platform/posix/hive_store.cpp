#include "hive_store.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <unordered_map>
#include <utility>

#include "registry/text/journal.h"
#include "registry/text/reg_decoding.h"
#include "registry/text/reg_parser.h"
#include "registry/tree/tree_sink.h"
#include "registry/tree/value_lines.h"

namespace dsnconf::posix {

namespace {

// Bytes kept from just before the end of what was read.
constexpr std::size_t kTailBytes = 64;
constexpr std::size_t kReadChunk = 64 * 1024;
// Journal bytes past what the index covers beyond which a load indexes the
// hive afresh: parsing that much costs a few milliseconds.
constexpr std::size_t kUnindexedJournalLimit = 256 * 1024;

std::atomic<std::size_t> journalLimit{Hive::kDefaultJournalLimit};
std::atomic<std::size_t> indexThreshold{Hive::kDefaultIndexThreshold};
std::atomic<std::uint64_t> indexedLoadCount{0};

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

bool sameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

std::size_t countLines(const std::string& text) {
  return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

// Checks the statements of a change before they are written, so that a
// fault in building them can never leave an entry that no reader accepts.
class CheckingSink : public RegTextSink {
 public:
  explicit CheckingSink(const std::string& rootName) : rootName_(rootName) {}
  bool openKey(const std::vector<std::string>& path, std::string& error) override {
    return sameRoot(path, error);
  }
  bool deleteKey(const std::vector<std::string>& path, std::string& error) override {
    return sameRoot(path, error);
  }
  void setValue(const std::string&, DWORD, std::string) override {}
  void deleteValue(const std::string&) override {}
  bool wantsValues() const override { return false; }

 private:
  bool sameRoot(const std::vector<std::string>& path, std::string& error) const {
    if (equalsIgnoreCase(path.front(), rootName_)) return true;
    error = "key outside " + rootName_;
    return false;
  }
  const std::string& rootName_;
};

void reportUnreadable(const std::string& path, const std::string& why) {
  std::fprintf(stderr, "dsnconf: registry hive %s cannot be read: %s\n", path.c_str(), why.c_str());
  std::fflush(stderr);
}

}  // namespace

// Reads the values of keys loaded lazily from the hive file as it was when
// the keys were read. It holds that file open, so that a file replaced since
// still serves the keys taken from it.
class FileValueSource : public ValueSource {
 public:
  FileValueSource(int fd, std::string path) : fd_(::dup(fd)), path_(std::move(path)) {}
  ~FileValueSource() override {
    if (fd_ >= 0) ::close(fd_);
  }
  FileValueSource(const FileValueSource&) = delete;
  FileValueSource& operator=(const FileValueSource&) = delete;

  void readValues(RegKey& key, const std::vector<ValueSegment>& segments) const override {
    for (const ValueSegment& segment : segments) {
      std::string_view bytes;
      if (!bytesOf(segment, bytes)) return;
      RegParseResult parsed = readValueLines(key, bytes, segment);
      if (!parsed.ok) return failed(parsed.error);
    }
  }

  bool unreadable() const { return unreadable_; }

 private:
  // The segment's bytes, from the window of the file last read when it lies
  // there. A walk over keys in file order reads further ahead each time, up
  // to kMaxReadAhead, so that it takes a few reads instead of one per key;
  // a lookup anywhere else reads just the segment.
  bool bytesOf(const ValueSegment& segment, std::string_view& bytes) const {
    const std::size_t length = segment.end - segment.begin;
    const std::size_t windowEnd = windowBegin_ + window_.size();
    if (segment.begin >= windowBegin_ && segment.end <= windowEnd) {
      bytes = std::string_view(window_).substr(segment.begin - windowBegin_, length);
      return true;
    }
    const bool inFileOrder = segment.begin >= windowBegin_ && segment.begin <= windowEnd + kReadGap;
    readAhead_ = inFileOrder ? std::min(std::max(2 * readAhead_, kReadGap), kMaxReadAhead) : 0;
    window_.clear();
    windowBegin_ = segment.begin;
    if (fd_ < 0 ||
        !readRange(fd_, static_cast<off_t>(segment.begin), length + readAhead_, window_)) {
      window_.clear();
      failed(std::strerror(errno));
      return false;
    }
    if (window_.size() < length) {
      window_.clear();
      failed("the file is shorter than when it was read");
      return false;
    }
    bytes = std::string_view(window_).substr(0, length);
    return true;
  }

  void failed(const std::string& why) const {
    if (!unreadable_) reportUnreadable(path_, why);
    unreadable_ = true;
  }

  // Bytes between one key's values and the next one's in file order: its
  // section line, with room for a long key path.
  static constexpr std::size_t kReadGap = 4 * 1024;
  static constexpr std::size_t kMaxReadAhead = 64 * 1024;

  int fd_;
  std::string path_;
  // Set by a reader of values, which has no result to give.
  mutable bool unreadable_ = false;
  mutable std::string window_;
  mutable std::size_t windowBegin_ = 0;
  mutable std::size_t readAhead_ = 0;
};

Hive::Hive(std::string rootName, const std::string& directory)
    : rootName_(std::move(rootName)),
      directory_(directory),
      path_(directory + "/" + rootName_ + ".reg"),
      lockPath_(path_ + ".lock"),
      indexPath_(path_ + ".index") {}

Hive::~Hive() {
  if (lockFd_ >= 0) ::close(lockFd_);
  holdFile(-1);
  forgetIndexFile();
}

void Hive::holdFile(int fd) {
  if (fileFd_ >= 0) ::close(fileFd_);
  fileFd_ = fd;
  // The file written to is always the one read.
  if (writeFd_ >= 0) ::close(writeFd_);
  writeFd_ = -1;
}

void Hive::forgetIndexFile() {
  if (indexFd_ >= 0) ::close(indexFd_);
  indexFd_ = -1;
}

void Hive::setJournalLimit(std::size_t bytes) {
  journalLimit = bytes;
}

void Hive::setIndexThreshold(std::size_t bytes) {
  indexThreshold = bytes;
}

std::uint64_t Hive::indexedLoads() {
  return indexedLoadCount;
}

bool Hive::valuesUnreadable() const {
  return values_ && values_->unreadable();
}

LONG Hive::readValues(const RegKey& key) {
  key.readPendingValues();
  return load();
}

void Hive::releaseValues(RegKey& key) {
  if (state_ == State::Loaded && values_ && !values_->unreadable())
    key.releaseValues(values_.get());
}

LONG Hive::load() {
  if (state_ == State::Loaded && valuesUnreadable()) return fail(ERROR_BADDB);
  if (state_ == State::Loaded) return ERROR_SUCCESS;
  if (state_ == State::Failed) return failure_;
  LONG result = readWhole();
  if (result != ERROR_SUCCESS) return fail(result);
  state_ = State::Loaded;
  return ERROR_SUCCESS;
}

LONG Hive::fail(LONG error) {
  state_ = State::Failed;
  failure_ = error;
  return error;
}

void Hive::reportUnreadable(const std::string& why) const {
  posix::reportUnreadable(path_, why);
}

void Hive::remember(const struct stat& st) {
  file_.exists = true;
  file_.device = st.st_dev;
  file_.inode = st.st_ino;
  file_.size = st.st_size;
  file_.modified = st.st_mtim;
  file_.mode = st.st_mode;
  file_.owner = st.st_uid;
  file_.group = st.st_gid;
}

void Hive::rememberTail(std::string_view bytesBeforeEnd) {
  std::size_t keep = std::min(kTailBytes, bytesBeforeEnd.size());
  tail_ = std::string(bytesBeforeEnd.substr(bytesBeforeEnd.size() - keep));
}

LONG Hive::readWhole() {
  FileDescriptor fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd.valid()) {
    if (errno != ENOENT) {
      int error = errno;
      reportUnreadable(std::strerror(error));
      return errorFromErrno(error, false);
    }
    // No file yet: an empty hive.
    holdFile(-1);
    root_ = std::make_shared<RegKey>(rootName_, nullptr);
    values_.reset();
    file_ = FileState{};
    appendable_ = false;
    consumedEnd_ = 0;
    lineAtEnd_ = 1;
    tail_.clear();
    journalBytes_ = 0;
    return ERROR_SUCCESS;
  }
  struct stat st {};
  if (::fstat(fd.get(), &st) != 0) {
    int error = errno;
    reportUnreadable(std::strerror(error));
    return errorFromErrno(error, false);
  }
  if (loadIndexed(fd.get(), st)) {
    holdFile(fd.release());
    remember(st);
    // Entries appended since the index was written are read as text.
    return readAppended();
  }
  LONG result = parseWhole(fd.get(), st);
  if (result != ERROR_SUCCESS) return result;
  holdFile(fd.release());
  remember(st);
  indexAfterRead(st);
  return ERROR_SUCCESS;
}

LONG Hive::parseWhole(int fd, const struct stat& st) {
  // Exactly the bytes of the state `st` describes: what is appended
  // meanwhile is read as appended text.
  std::string bytes;
  if (!readRange(fd, 0, static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)), bytes)) {
    int error = errno;
    reportUnreadable(std::strerror(error));
    return errorFromErrno(error, false);
  }
  DecodedRegText decoded;
  std::string error;
  if (!decodeRegFile(std::move(bytes), decoded, error)) {
    reportUnreadable(error);
    return ERROR_BADDB;
  }
  // 8-bit text is parsed through but its values stay in the file until
  // asked for; UTF-16 text, converted, has no file offsets to come back to.
  auto root = std::make_shared<RegKey>(rootName_, nullptr);
  std::shared_ptr<const FileValueSource> source;
  if (decoded.encoding == RegTextEncoding::Bytes) {
    source = std::make_shared<const FileValueSource>(fd, path_);
  }
  RegTreeSink sink(*root, source);
  RegParseResult parsed = parseRegText(decoded.text, wholeFileOptions(decoded), sink);
  if (!parsed.ok) {
    reportUnreadable(parsed.error);
    return ERROR_BADDB;
  }
  root_ = root;
  values_ = source;
  appendable_ = decoded.encoding == RegTextEncoding::Bytes && parsed.sawHeader;
  consumedEnd_ = decoded.prefixBytes + parsed.validEnd;
  lineAtEnd_ = parsed.lineAtValidEnd;
  // The bytes before consumedEnd_ are those before validEnd in the text (a
  // byte-order mark aside, which only matters where nothing is appended).
  rememberTail(std::string_view(decoded.text).substr(0, parsed.validEnd));
  journalBytes_ = parsed.journalBytes;
  return ERROR_SUCCESS;
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

LONG Hive::reloadWhole() {
  LONG result = readWhole();
  if (result != ERROR_SUCCESS) return fail(result);
  ++generation_;
  return ERROR_SUCCESS;
}

bool Hive::tailMatches() const {
  std::string bytes;
  off_t start = static_cast<off_t>(consumedEnd_ - tail_.size());
  return readRange(fileFd_, start, tail_.size(), bytes) && bytes == tail_;
}

LONG Hive::readAppended() {
  struct stat st {};
  std::string bytes;
  if (::fstat(fileFd_, &st) != 0 ||
      !readRange(fileFd_, static_cast<off_t>(consumedEnd_),
                 static_cast<std::size_t>(std::max<off_t>(st.st_size, 0)) - consumedEnd_, bytes)) {
    int error = errno;
    reportUnreadable(std::strerror(error));
    return fail(errorFromErrno(error, false));
  }
  RegTreeSink sink(*root_);
  RegParseOptions options;
  options.expectHeader = false;
  options.firstLine = lineAtEnd_;
  RegParseResult parsed = parseRegText(bytes, options, sink);
  if (!parsed.ok) {
    reportUnreadable(parsed.error);
    return fail(ERROR_BADDB);
  }
  remember(st);
  std::string joined = tail_;
  joined.append(bytes, 0, parsed.validEnd);
  rememberTail(joined);
  consumedEnd_ += parsed.validEnd;
  lineAtEnd_ = parsed.lineAtValidEnd;
  journalBytes_ += parsed.journalBytes;
  return ERROR_SUCCESS;
}

LONG Hive::catchUp() {
  struct stat st {};
  if (::stat(path_.c_str(), &st) != 0) {
    if (errno != ENOENT) return errorFromErrno(errno, false);
    return file_.exists ? reloadWhole() : ERROR_SUCCESS;
  }
  bool sameFile =
      file_.exists && fileFd_ >= 0 && st.st_dev == file_.device && st.st_ino == file_.inode;
  bool unchanged = sameFile && st.st_size == file_.size && sameTime(st.st_mtim, file_.modified);
  file_.mode = st.st_mode;
  // Bytes past what was read (an entry unfinished when it was read) are read
  // again even when the file looks unchanged: only bytes known to be an
  // unfinished entry may be cut off before appending.
  if (unchanged && static_cast<std::size_t>(st.st_size) == consumedEnd_) return ERROR_SUCCESS;
  if (sameFile && appendable_ && static_cast<std::size_t>(st.st_size) >= consumedEnd_ &&
      tailMatches()) {
    return readAppended();
  }
  if (unchanged) return ERROR_SUCCESS;
  return reloadWhole();
}

LONG Hive::prepareFolder() {
  // Make the folder and its parents on the first change.
  for (std::size_t slash = directory_.find('/', 1); !folderMade_;
       slash = directory_.find('/', slash + 1)) {
    std::string prefix = directory_.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
      return errorFromErrno(errno, true);
    }
    folderMade_ = slash == std::string::npos;
  }
  // Root may write anything; everyone else is held to the folder's and the
  // file's permissions before anything is attempted.
  if (::faccessat(AT_FDCWD, directory_.c_str(), W_OK, AT_EACCESS) != 0) {
    return errorFromErrno(errno, true);
  }
  if (::faccessat(AT_FDCWD, path_.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT) {
    return errorFromErrno(errno, true);
  }
  return ERROR_SUCCESS;
}

LONG Hive::lockFile(int& fd) {
  // A forked child must not share its parent's open lock file: flock locks
  // belong to the open file, and parent and child would not exclude each other.
  if (lockFd_ >= 0 && lockOwner_ != ::getpid()) {
    ::close(lockFd_);
    lockFd_ = -1;
  }
  if (lockFd_ < 0) {
    lockFd_ = ::open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    // flock works on a file open for reading: a lock file made by another
    // user still serves.
    int error = errno;
    if (lockFd_ < 0 && error == EACCES) lockFd_ = ::open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
    if (lockFd_ < 0) return errorFromErrno(error, true);
    lockOwner_ = ::getpid();
  }
  fd = lockFd_;
  return ERROR_SUCCESS;
}

bool Hive::isValidBody(const std::string& body) {
  CheckingSink sink(rootName_);
  RegParseOptions options;
  options.expectHeader = false;
  RegParseResult parsed = parseRegText(body, options, sink);
  return parsed.ok && parsed.validEnd == body.size();
}

void Hive::apply(const std::string& body) {
  RegTreeSink sink(*root_);
  RegParseOptions options;
  options.expectHeader = false;
  parseRegText(body, options, sink);
}

LONG Hive::change(const Describe& describe) {
  LONG result = load();
  if (result != ERROR_SUCCESS) return result;
  result = prepareFolder();
  if (result != ERROR_SUCCESS) return result;
  int lockFd = -1;
  result = lockFile(lockFd);
  if (result != ERROR_SUCCESS) return result;
  ExclusiveLock lock(lockFd);
  if (!lock.locked()) return errorFromErrno(errno, true);
  changing_ = true;
  struct ClearOnExit {
    bool& flag;
    ~ClearOnExit() { flag = false; }
  } clearChanging{changing_};

  result = catchUp();
  if (result != ERROR_SUCCESS) return result;
  std::string body;
  result = describe(body);
  // Nothing is written on the strength of values that could not be read.
  if (valuesUnreadable()) return fail(ERROR_BADDB);
  if (result != ERROR_SUCCESS || body.empty()) return result;
  if (!isValidBody(body)) return ERROR_INVALID_PARAMETER;

  // A missing file, a file without a header and UTF-16 text cannot take an
  // appended entry; they are first written anew with what they hold now.
  if (!appendable_) {
    result = rewrite();
    if (result != ERROR_SUCCESS) return result;
  }
  result = append(body);
  if (result != ERROR_SUCCESS) return result;
  apply(body);

  std::size_t base = consumedEnd_ - journalBytes_;
  if (journalBytes_ > std::max<std::size_t>(journalLimit, base)) {
    // The change is already safe in the journal; a failed rewrite only
    // leaves the journal in place.
    rewrite();
  }
  return ERROR_SUCCESS;
}

LONG Hive::append(const std::string& body) {
  std::string entry = journalEntry(body);
  if (!tail_.empty() && tail_.back() != '\n') entry.insert(0, "\n");
  // Opened once for all the changes of a walk, as long as the file read is
  // the file there.
  if (writeFd_ < 0) writeFd_ = ::open(path_.c_str(), O_WRONLY | O_CLOEXEC);
  if (writeFd_ < 0) return errorFromErrno(errno, true);
  const int fd = writeFd_;
  struct stat st {};
  if (::fstat(fd, &st) != 0) return errorFromErrno(errno, true);
  const auto end = static_cast<off_t>(consumedEnd_);
  // An index that describes the file now goes on describing it once the
  // entry is appended: the entry lies past what the index covers.
  const int index = indexDescribing(st);
  // Whatever lies past what was read is an entry some process left unfinished.
  if (st.st_size > end && ::ftruncate(fd, end) != 0) return errorFromErrno(errno, true);
  // Once written, the entry is in the file for every process, also if this
  // one is killed. Like the Windows registry, which flushes its hives
  // lazily, it leaves flushing to the disk to the system: a sync for each
  // change would make a command over thousands of data sources slow, and an
  // entry a power failure cuts short is ignored as unfinished.
  if (!writeAt(fd, end, entry)) {
    int error = errno;
    if (::ftruncate(fd, end) != 0) {
      // The unfinished entry stays behind; readers ignore it and the next
      // change cuts it off.
    }
    return errorFromErrno(error, true);
  }
  if (::fstat(fd, &st) != 0) return errorFromErrno(errno, true);
  if (index >= 0) restampIndex(index, st);
  remember(st);
  rememberTail(tail_ + entry);
  consumedEnd_ += entry.size();
  lineAtEnd_ += countLines(entry);
  journalBytes_ += entry.size();
  return ERROR_SUCCESS;
}

LONG Hive::rewrite() {
  KeySegments valueLines;
  std::string text = formatRegTrees({root_.get()}, &valueLines);
  if (valuesUnreadable()) return fail(ERROR_BADDB);
  // A hive file that is a symbolic link is replaced where the link points.
  std::string target = path_;
  if (file_.exists) {
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path_.c_str(), nullptr),
                                                     &std::free);
    if (real) target = real.get();
  }
  const std::string temp = target + ".tmp";
  const std::string folderPath = target.substr(0, target.rfind('/') + 1);
  FileDescriptor fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (!fd.valid()) return errorFromErrno(errno, true);
  if (file_.exists) {
    // The new file takes the place of the old one with its permissions.
    ::fchmod(fd.get(), file_.mode & 07777);
    if (::geteuid() == 0 && ::fchown(fd.get(), file_.owner, file_.group) != 0) {
      // Keeping root as the owner is the lesser evil; the mode still applies.
    }
  }
  bool written = writeAt(fd.get(), 0, text) && ::fsync(fd.get()) == 0;
  int error = errno;
  if (fd.close() != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written || ::rename(temp.c_str(), target.c_str()) != 0) {
    if (written) error = errno;
    ::unlink(temp.c_str());
    return errorFromErrno(error, true);
  }
  FileDescriptor folder(
      ::open(folderPath.empty() ? "." : folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.valid()) ::fsync(folder.get());

  holdFile(::open(path_.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (fileFd_ < 0 || ::fstat(fileFd_, &st) != 0) return errorFromErrno(errno, true);
  remember(st);
  appendable_ = true;
  consumedEnd_ = text.size();
  lineAtEnd_ = 1 + countLines(text);
  rememberTail(text);
  journalBytes_ = 0;
  // Every value is in memory now; none is read from a file any more.
  values_.reset();
  indexAfterRewrite(valueLines);
  return ERROR_SUCCESS;
}

}  // namespace dsnconf::posix
