#include "platform/export_output.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/unicode.h"

namespace dsnconf {

// The ANSI calls' text is UTF-8 here.
std::u16string codePageToUtf16(const std::string& text) {
  return utf8ToUtf16(text);
}

// Standard output is binary here already.
void useBinaryStandardOutput() {}

PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace) {
  if (replace) {
    return std::rename(temporary.c_str(), target.c_str()) == 0 ? PlaceFileResult::Placed
                                                               : PlaceFileResult::Failed;
  }
  // A hard link is made only where no file is: no window in which another
  // process's file could be replaced.
  if (link(temporary.c_str(), target.c_str()) != 0) {
    if (errno == EEXIST) return PlaceFileResult::TargetExists;
    // A file system without hard links (FAT, some network mounts): look, then rename.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return PlaceFileResult::Failed;
    if (access(target.c_str(), F_OK) == 0) return PlaceFileResult::TargetExists;
    return std::rename(temporary.c_str(), target.c_str()) == 0 ? PlaceFileResult::Placed
                                                               : PlaceFileResult::Failed;
  }
  unlink(temporary.c_str());
  return PlaceFileResult::Placed;
}

}  // namespace dsnconf
