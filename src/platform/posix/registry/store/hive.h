// One hive file (HKEY_LOCAL_MACHINE.reg or HKEY_CURRENT_USER.reg in the
// registry folder) and the tree read from it.
//
// The file is read once, on first use. A change takes the hive's lock (an
// flock on "<root>.reg.lock" beside it, shared with every other process using
// the folder), first reads whatever other processes appended since (or the
// whole file again when it was replaced), then appends the change as one
// journal entry in a single write. Only then is the change made
// in memory. When the journal outgrows the rest of the file, the whole file
// is rewritten to a temporary file, synced and renamed over the old one. A
// file no change touches is never written; a file that cannot be parsed is
// never written either: every call on its hive then fails with ERROR_BADDB.
//
// Values are read lazily: a load builds the keys and notes where each key's
// value lines lie, and a key's values are parsed when first asked for. A
// large file gets an index beside it (hive_index.h), so that the next load
// need not read the whole file at all.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/store/hive_index.h"
#include "registry/tree/reg_key.h"
#include "registry/tree/tree_text.h"
#include "win32.h"

namespace dsnconf::posix {

class FileValueSource;

class Hive {
 public:
  Hive(std::string rootName, const std::string& directory);
  ~Hive();
  Hive(const Hive&) = delete;
  Hive& operator=(const Hive&) = delete;

  const std::string& rootName() const { return rootName_; }
  const std::string& filePath() const { return path_; }

  // Reads the file on first use and returns that first result ever after:
  // 0, ERROR_BADDB (after one line on stderr) or the error of reading it.
  LONG load();
  // The root key; only after load() succeeded.
  RegKey& root() { return *root_; }
  // Counts re-reads of the whole file; keys held from before one must be
  // looked up again by path.
  std::uint64_t generation() const { return generation_; }
  // Reads the key's values if they are still in the file: 0, or
  // ERROR_BADDB (after one line on stderr) when they could not be read; the
  // hive then fails every later call too.
  LONG readValues(const RegKey& key);
  // Lets the key drop values it read from the file as it is now, to read
  // them again when next asked for; a key no handle holds open needs none.
  void releaseValues(RegKey& key);

  // Writes the .reg statements of one change into `body`, or leaves it empty
  // when there is nothing to change; returns 0 or the call's error.
  using Describe = std::function<LONG(std::string& body)>;
  // Makes one change: brings the tree up to date with the file under the
  // lock, lets `describe` check it against that state, makes the statements
  // durable in the file and then applies them to the tree. Returns describe's
  // error, the error of writing the file, or 0.
  LONG change(const Describe& describe);

  // Journal bytes beyond which a change rewrites the whole file; the limit
  // is never below the size of the rest of the file.
  static void setJournalLimit(std::size_t bytes);
  static constexpr std::size_t kDefaultJournalLimit = 256 * 1024;
  // Hive files from this size on get an index. A smaller file is parsed
  // whole in about a millisecond, less than reading its index would save.
  static void setIndexThreshold(std::size_t bytes);
  static constexpr std::size_t kDefaultIndexThreshold = 64 * 1024;
  // Counts loads that used an index, for tests to see which way a load took.
  static std::uint64_t indexedLoads();

 private:
  // Bytes kept from just before the end of what was read.
  static constexpr std::size_t kTailBytes = 64;

  struct FileState {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    mode_t mode = 0;
    uid_t owner = 0;
    gid_t group = 0;
  };

  LONG readWhole();
  LONG parseWhole(int fd, const struct stat& st);
  bool loadIndexed(int fd, const struct stat& st);
  bool indexWanted(off_t fileSize) const;
  void indexAfterRead(const struct stat& st);
  void indexAfterRewrite(const KeySegments& valueLines);
  void storeIndex(const HiveIndex& index);
  // The index, open for writing, when it describes the file in state `st`,
  // else -1.
  int indexDescribing(const struct stat& st);
  void forgetIndexFile();
  static void restampIndex(int indexFd, const struct stat& st);
  bool valuesUnreadable() const;
  LONG reloadWhole();
  LONG readAppended();
  LONG catchUp();
  bool tailMatches() const;
  LONG prepareFolder();
  LONG lockFile(int& fd);
  LONG append(const std::string& body);
  LONG rewrite();
  LONG replaceFile(const std::string& text);
  bool isValidBody(const std::string& body);
  void apply(const std::string& body);
  void holdFile(int fd);
  void remember(const struct stat& st);
  void rememberTail(std::string_view bytesBeforeEnd);
  LONG fail(LONG error);
  void reportUnreadable(const std::string& why) const;

  std::string rootName_;
  std::string directory_;
  std::string path_;
  std::string lockPath_;
  std::string indexPath_;

  enum class State { Unloaded, Loaded, Failed };
  State state_ = State::Unloaded;
  LONG failure_ = 0;
  std::shared_ptr<RegKey> root_;
  // Where keys of the tree whose values were not read yet find them.
  std::shared_ptr<const FileValueSource> values_;
  std::uint64_t generation_ = 0;

  FileState file_;
  // Whether entries can be appended: 8-bit text under a header line.
  bool appendable_ = false;
  // File offset up to which the file has been read, and the number of the
  // line that starts there.
  std::size_t consumedEnd_ = 0;
  std::size_t lineAtEnd_ = 1;
  // The bytes just before consumedEnd_, to see that appended text follows
  // what was read.
  std::string tail_;
  std::size_t journalBytes_ = 0;

  // The file as last read, held open so that its inode number cannot pass
  // to another file while this process compares numbers.
  int fileFd_ = -1;
  // That file open for appending, and its index open for restamping, from
  // the first change on.
  int writeFd_ = -1;
  int indexFd_ = -1;
  bool folderMade_ = false;
  int lockFd_ = -1;
  pid_t lockOwner_ = 0;
  // Set while a change holds the lock.
  bool changing_ = false;
};

}  // namespace dsnconf::posix
