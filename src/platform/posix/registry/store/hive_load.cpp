// Reading a hive file: whole at the first use, through its index where one
// describes it, and then what other processes appended or a new file.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>

#include "registry/store/file_access.h"
#include "registry/store/file_value_source.h"
#include "registry/store/hive.h"
#include "registry/text/reg_decoding.h"
#include "registry/text/reg_parser.h"
#include "registry/tree/tree_sink.h"

namespace dsnconf::posix {

namespace {

bool sameTime(const timespec& a, const timespec& b) {
  return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

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

}  // namespace dsnconf::posix
