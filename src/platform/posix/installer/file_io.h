// Whole-file reads and atomic whole-file replacement of file data sources.
#pragma once

#include <string>

namespace dsnconf::odbccp {

struct FileContent {
  // 0 when read; otherwise the errno of the failure (EISDIR for a folder).
  int error = 0;
  std::string bytes;
};

FileContent readWholeFile(const std::string& path);

// Replaces the file at `path` (or the file a symbolic link there points to)
// with `bytes`, keeping its permission bits. Readers see either the old or the
// new content, never a part; on failure the old file is left as it was.
// Returns 0 or the errno of the step that failed.
int replaceFile(const std::string& path, const std::string& bytes);

}  // namespace dsnconf::odbccp
