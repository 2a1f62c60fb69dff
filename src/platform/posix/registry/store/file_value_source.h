// Where the values of keys read lazily come from for a hive file.
#pragma once

#include <unistd.h>

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registry/tree/reg_key.h"

namespace dsnconf::posix {

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

  void readValues(RegKey& key, const std::vector<ValueSegment>& segments) const override;

  bool unreadable() const { return unreadable_; }

 private:
  // The segment's bytes, from the window of the file last read when it lies
  // there. A walk over keys in file order reads further ahead each time, up
  // to kMaxReadAhead, so that it takes a few reads instead of one per key;
  // a lookup anywhere else reads just the segment.
  bool bytesOf(const ValueSegment& segment, std::string_view& bytes) const;
  void failed(const std::string& why) const;

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

}  // namespace dsnconf::posix
