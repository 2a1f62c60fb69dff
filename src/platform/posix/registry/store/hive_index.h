// The index beside a large hive file, "<root>.reg.index": the hive's keys,
// and for each key where its value lines lie in the file. With it a command
// that looks at a few data sources of thousands reads the keys and those few
// values, not the whole file.
//
// The index is a cache. It is written only for a file known to parse (just
// read whole, or just written) and trusted only while the file is the very
// one it describes: the same device and inode, size, modification time and
// change time (which no program can set). A process that appends a journal
// entry to such a file, under the hive's lock, rewrites the index's stamp
// line in place; the entries past the part the index covers are read as
// text at every load, until the next rewrite of the hive indexes them too.
// Any other change to the file leaves the stamp behind, and the next load
// reads the whole file again. A damaged or foreign index fails its checks
// and is ignored the same way.
//
//   dsnconf hive index 1
//   file <device> <inode> <size> <mtime> <ctime> <crc>     fixed width, hex
//   covers <end> <line> <journal bytes> <keys>
//   k <depth> <segments> <name>                            one per key
//   end <crc>
//
// Keys come parents first, each right before its subtree, the root at depth
// 0; <segments> is "-" or "begin-end@line" items joined by commas. The end
// line's CRC-32 covers every line from "covers" on.
#pragma once

#include <sys/stat.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "registry/tree/reg_key.h"

namespace dsnconf::posix {

// What identifies one state of a file.
struct FileStamp {
  unsigned long long device = 0;
  unsigned long long inode = 0;
  unsigned long long size = 0;
  timespec modified{};
  timespec changed{};

  static FileStamp of(const struct stat& st);
  bool operator==(const FileStamp& other) const;
  bool operator!=(const FileStamp& other) const { return !(*this == other); }
};

struct IndexedKey {
  std::size_t depth = 0;
  std::string name;
  std::vector<ValueSegment> segments;
};

struct HiveIndex {
  FileStamp stamp;
  // The index describes the file up to `end`, where line number `line`
  // begins; `journalBytes` of that are journal entries.
  std::size_t end = 0;
  std::size_t line = 1;
  std::size_t journalBytes = 0;
  std::vector<IndexedKey> keys;
};

// The keys of a tree in index order; `segmentsOf` says where each key's
// values lie in the file.
template <typename SegmentsOf>
std::vector<IndexedKey> indexKeys(const RegKey& root, SegmentsOf segmentsOf) {
  std::vector<IndexedKey> keys;
  std::vector<std::pair<const RegKey*, std::size_t>> pending{{&root, 0}};
  while (!pending.empty()) {
    auto [key, depth] = pending.back();
    pending.pop_back();
    keys.push_back(IndexedKey{depth, key->name(), segmentsOf(*key)});
    for (const RegKey* child : key->children()) pending.emplace_back(child, depth + 1);
  }
  return keys;
}

std::string formatHiveIndex(const HiveIndex& index);

// Reads an index: fills in `index` but for its keys, and builds the keys
// under `root`, each with the values of its segments pending on `source`.
// False for anything that is not a complete, intact index; what was built
// under `root` is then to be dropped.
// The index is checked whole, but keys below the root are made only when
// first asked for (see SubkeySource).
bool readHiveIndex(std::string text, HiveIndex& index, RegKey& root,
                   const std::shared_ptr<const ValueSource>& source);

// The stamp line sits at a fixed offset and has a fixed length, so that it
// can be rewritten in place.
std::size_t stampLineOffset();
std::string formatStampLine(const FileStamp& stamp);
bool parseStampLine(std::string_view line, FileStamp& stamp);

}  // namespace dsnconf::posix
