#include "registry/store/file_value_source.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "registry/store/file_access.h"
#include "registry/tree/value_lines.h"

namespace dsnconf::posix {

void FileValueSource::readValues(RegKey& key, const std::vector<ValueSegment>& segments) const {
  for (const ValueSegment& segment : segments) {
    std::string_view bytes;
    if (!bytesOf(segment, bytes)) return;
    RegParseResult parsed = readValueLines(key, bytes, segment);
    if (!parsed.ok) return failed(parsed.error);
  }
}

bool FileValueSource::bytesOf(const ValueSegment& segment, std::string_view& bytes) const {
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
  if (fd_ < 0 || !readRange(fd_, static_cast<off_t>(segment.begin), length + readAhead_, window_)) {
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

void FileValueSource::failed(const std::string& why) const {
  if (!unreadable_) reportUnreadable(path_, why);
  unreadable_ = true;
}

}  // namespace dsnconf::posix
