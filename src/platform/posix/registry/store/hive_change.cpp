// Changing a hive: under its lock, catch up with the file, append the change
// as one journal entry, apply it to the tree, and rewrite the file whole once
// the journal outgrows the rest.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <memory>

#include "registry/store/file_access.h"
#include "registry/store/file_value_source.h"
#include "registry/store/hive.h"
#include "registry/text/ascii_case.h"
#include "registry/text/journal.h"
#include "registry/text/reg_parser.h"
#include "registry/tree/tree_sink.h"
#include "registry/tree/tree_text.h"

namespace dsnconf::posix {

namespace {

std::atomic<std::size_t> journalLimit{Hive::kDefaultJournalLimit};

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

}  // namespace

void Hive::setJournalLimit(std::size_t bytes) {
  journalLimit = bytes;
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
  LONG result = replaceFile(text);
  if (result != ERROR_SUCCESS) return result;

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

// Puts a file of `text` in the hive file's place: written beside it, synced,
// and renamed over it, so that a reader sees the old file or the new one.
LONG Hive::replaceFile(const std::string& text) {
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
  return ERROR_SUCCESS;
}

}  // namespace dsnconf::posix
