#include "registry/store/hive_index.h"

#include <algorithm>
#include <charconv>
#include <cinttypes>
#include <cstdio>

#include "registry/text/crc32.h"

namespace dsnconf::posix {

namespace {

constexpr std::string_view kIndexHeader = "dsnconf hive index 1\n";
constexpr std::string_view kStampPrefix = "file ";
constexpr std::string_view kCoversPrefix = "covers ";
constexpr std::string_view kKeyPrefix = "k ";
constexpr std::string_view kEndPrefix = "end ";

// Lower-case hex, zero-padded to `digits` and longer where the value needs
// it. By hand: every change restamps the index with eight of these.
void appendHex(std::string& out, unsigned long long value, int digits) {
  int width = 1;
  while (width < 16 && (value >> (4 * width)) != 0) ++width;
  width = std::max(std::min(width, 16), std::min(digits, 16));
  char buffer[16];
  for (int i = 0; i < width; ++i) {
    buffer[i] = "0123456789abcdef"[(value >> (4 * (width - 1 - i))) & 0xF];
  }
  out.append(buffer, static_cast<std::size_t>(width));
}

void appendTime(std::string& out, const timespec& time) {
  appendHex(out, static_cast<unsigned long long>(time.tv_sec), 16);
  out += '.';
  appendHex(out, static_cast<unsigned long long>(time.tv_nsec), 8);
}

// Reads what the text holds up to its next `separator` (or its end) as a
// number in `base`, and moves past the separator.
template <typename Number>
bool takeNumber(std::string_view& text, Number& number, char separator, int base = 10) {
  std::size_t stop = text.find(separator);
  std::string_view field = text.substr(0, stop);
  if (field.empty()) return false;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), number, base);
  if (error != std::errc() || end != field.data() + field.size()) return false;
  text.remove_prefix(stop == std::string_view::npos ? text.size() : stop + 1);
  return true;
}

bool takeTime(std::string_view& text, timespec& time) {
  unsigned long long seconds = 0;
  unsigned long long nanoseconds = 0;
  if (!takeNumber(text, seconds, '.', 16) || !takeNumber(text, nanoseconds, ' ', 16)) return false;
  time.tv_sec = static_cast<time_t>(seconds);
  time.tv_nsec = static_cast<long>(nanoseconds);
  return true;
}

// Takes one line (without its LF) off the front of `text`.
bool takeLine(std::string_view& text, std::string_view& line) {
  std::size_t lf = text.find('\n');
  if (lf == std::string_view::npos) return false;
  line = text.substr(0, lf);
  text.remove_prefix(lf + 1);
  return true;
}

bool takePrefix(std::string_view& line, std::string_view prefix) {
  if (line.substr(0, prefix.size()) != prefix) return false;
  line.remove_prefix(prefix.size());
  return true;
}

void appendSegments(std::string& out, const std::vector<ValueSegment>& segments) {
  if (segments.empty()) {
    out += '-';
    return;
  }
  for (std::size_t i = 0; i < segments.size(); ++i) {
    if (i != 0) out += ',';
    out += std::to_string(segments[i].begin);
    out += '-';
    out += std::to_string(segments[i].end);
    out += '@';
    out += std::to_string(segments[i].line);
  }
}

bool parseSegments(std::string_view field, std::vector<ValueSegment>& segments) {
  if (field == "-") return true;
  while (true) {
    ValueSegment segment;
    std::size_t comma = field.find(',');
    std::string_view item = field.substr(0, comma);
    if (!takeNumber(item, segment.begin, '-') || !takeNumber(item, segment.end, '@') ||
        !takeNumber(item, segment.line, ',') || segment.end < segment.begin) {
      return false;
    }
    segments.push_back(segment);
    if (comma == std::string_view::npos) return true;
    field.remove_prefix(comma + 1);
  }
}

bool parseKeyLine(std::string_view line, IndexedKey& key) {
  if (!takePrefix(line, kKeyPrefix) || !takeNumber(line, key.depth, ' ')) return false;
  std::size_t space = line.find(' ');
  if (space == std::string_view::npos || !parseSegments(line.substr(0, space), key.segments)) {
    return false;
  }
  key.name = std::string(line.substr(space + 1));
  return key.depth == 0 || !key.name.empty();
}

}  // namespace

FileStamp FileStamp::of(const struct stat& st) {
  FileStamp stamp;
  stamp.device = static_cast<unsigned long long>(st.st_dev);
  stamp.inode = static_cast<unsigned long long>(st.st_ino);
  stamp.size = static_cast<unsigned long long>(st.st_size);
  stamp.modified = st.st_mtim;
  stamp.changed = st.st_ctim;
  return stamp;
}

bool FileStamp::operator==(const FileStamp& other) const {
  auto same = [](const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
  };
  return device == other.device && inode == other.inode && size == other.size &&
         same(modified, other.modified) && same(changed, other.changed);
}

std::size_t stampLineOffset() {
  return kIndexHeader.size();
}

std::string formatStampLine(const FileStamp& stamp) {
  std::string fields;
  fields.reserve(128);
  appendHex(fields, stamp.device, 16);
  fields += ' ';
  appendHex(fields, stamp.inode, 16);
  fields += ' ';
  appendHex(fields, stamp.size, 16);
  fields += ' ';
  appendTime(fields, stamp.modified);
  fields += ' ';
  appendTime(fields, stamp.changed);
  std::string line(kStampPrefix);
  line += fields;
  line += ' ';
  appendHex(line, crc32(fields), 8);
  line += '\n';
  return line;
}

bool parseStampLine(std::string_view line, FileStamp& stamp) {
  if (!line.empty() && line.back() == '\n') line.remove_suffix(1);
  if (!takePrefix(line, kStampPrefix)) return false;
  std::size_t lastSpace = line.rfind(' ');
  if (lastSpace == std::string_view::npos) return false;
  std::string_view fields = line.substr(0, lastSpace);
  std::string_view checksum = line.substr(lastSpace + 1);
  std::uint32_t stated = 0;
  if (!takeNumber(checksum, stated, ' ', 16) || stated != crc32(fields)) return false;
  fields = line;
  return takeNumber(fields, stamp.device, ' ', 16) && takeNumber(fields, stamp.inode, ' ', 16) &&
         takeNumber(fields, stamp.size, ' ', 16) && takeTime(fields, stamp.modified) &&
         takeTime(fields, stamp.changed);
}

std::string formatHiveIndex(const HiveIndex& index) {
  std::string body(kCoversPrefix);
  body += std::to_string(index.end) + ' ' + std::to_string(index.line) + ' ' +
          std::to_string(index.journalBytes) + ' ' + std::to_string(index.keys.size()) + '\n';
  for (const IndexedKey& key : index.keys) {
    body += kKeyPrefix;
    body += std::to_string(key.depth);
    body += ' ';
    appendSegments(body, key.segments);
    body += ' ';
    body += key.name;
    body += '\n';
  }
  std::string text(kIndexHeader);
  text += formatStampLine(index.stamp);
  text += body;
  text += kEndPrefix;
  appendHex(text, crc32(body), 8);
  text += '\n';
  return text;
}

namespace {

// Where the key lines lie in an index text.
struct KeyLines {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Reads the index into `index` but for its keys, which go to `onKey` one by
// one in index order.
template <typename OnKey>
bool parseHiveIndex(std::string_view text, HiveIndex& index, KeyLines& keyLines, OnKey onKey) {
  const std::string_view whole = text;
  std::string_view line;
  if (!takePrefix(text, kIndexHeader) || !takeLine(text, line) ||
      !parseStampLine(line, index.stamp)) {
    return false;
  }
  const std::string_view body = text;
  std::size_t keyCount = 0;
  if (!takeLine(text, line) || !takePrefix(line, kCoversPrefix) ||
      !takeNumber(line, index.end, ' ') || !takeNumber(line, index.line, ' ') ||
      !takeNumber(line, index.journalBytes, ' ') || !takeNumber(line, keyCount, ' ')) {
    return false;
  }
  keyLines.begin = whole.size() - text.size();
  IndexedKey key;
  for (std::size_t i = 0; i < keyCount; ++i) {
    key.segments.clear();
    if (!takeLine(text, line) || !parseKeyLine(line, key) || !onKey(key)) return false;
  }
  keyLines.end = whole.size() - text.size();
  const std::size_t bodySize = body.size() - text.size();
  std::uint32_t stated = 0;
  return takeLine(text, line) && text.empty() && takePrefix(line, kEndPrefix) &&
         takeNumber(line, stated, ' ', 16) && stated == crc32(body.substr(0, bodySize));
}

// One key line as it lies in the text: its depth and fields, and where the
// next line begins.
struct KeyLine {
  std::size_t depth = 0;
  std::string_view segments;
  std::string_view name;
  std::size_t next = 0;
};

// Reads the key line at `at` of an index already checked whole.
KeyLine keyLineAt(std::string_view text, std::size_t at) {
  KeyLine key;
  const std::size_t lf = text.find('\n', at);
  std::string_view line = text.substr(at, lf - at);
  key.next = lf + 1;
  line.remove_prefix(kKeyPrefix.size());
  takeNumber(line, key.depth, ' ');
  const std::size_t space = line.find(' ');
  key.segments = line.substr(0, space);
  key.name = line.substr(space + 1);
  return key;
}

// The depth of the key line at `at`, and where the next line begins: all a
// walk past other keys' lines needs.
std::size_t depthAt(std::string_view text, std::size_t at) {
  std::size_t depth = 0;
  for (std::size_t i = at + kKeyPrefix.size(); text[i] != ' '; ++i) {
    depth = depth * 10 + static_cast<std::size_t>(text[i] - '0');
  }
  return depth;
}

std::size_t nextLineAt(std::string_view text, std::size_t at) {
  return text.find('\n', at) + 1;
}

bool sameName(std::string_view a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

// The keys of an index checked whole, made as they are asked for. A key's
// lines are those of its subtree, right after its own line.
class IndexSubkeys : public SubkeySource, public std::enable_shared_from_this<IndexSubkeys> {
 public:
  IndexSubkeys(std::string text, std::shared_ptr<const ValueSource> values)
      : text_(std::move(text)), values_(std::move(values)) {}

  void readSubkeys(RegKey& key, std::size_t begin, std::size_t end) const override {
    const std::size_t depth = depthAt(text_, begin);
    RegKey* made = nullptr;
    std::size_t madeBegin = 0;
    for (std::size_t at = begin; at < end; at = nextLineAt(text_, at)) {
      if (depthAt(text_, at) != depth) continue;
      if (made != nullptr) deferBelow(*made, madeBegin, at);
      const KeyLine line = keyLineAt(text_, at);
      // A subkey made before (found by name) keeps what it holds.
      made = key.makeChild(std::string(line.name));
      if (made != nullptr) deferValues(*made, line.segments);
      madeBegin = line.next;
    }
    if (made != nullptr) deferBelow(*made, madeBegin, end);
  }

  RegKey* readSubkey(RegKey& key, std::size_t begin, std::size_t end,
                     const std::string& name) const override {
    const std::size_t depth = depthAt(text_, begin);
    for (std::size_t at = begin; at < end; at = nextLineAt(text_, at)) {
      if (depthAt(text_, at) != depth) continue;
      const KeyLine line = keyLineAt(text_, at);
      if (!sameName(line.name, name)) continue;
      // Its subtree runs to the next line no deeper than itself.
      std::size_t below = line.next;
      while (below < end && depthAt(text_, below) > depth) below = nextLineAt(text_, below);
      RegKey* made = key.makeChild(std::string(line.name));
      if (made == nullptr) return nullptr;
      deferValues(*made, line.segments);
      deferBelow(*made, line.next, below);
      return made;
    }
    return nullptr;
  }

  // The values and subkeys of a key made from a line.
  void deferValues(RegKey& key, std::string_view field) const {
    std::vector<ValueSegment> segments;
    parseSegments(field, segments);
    for (const ValueSegment& segment : segments) key.deferValues(values_, segment);
  }

  void deferBelow(RegKey& key, std::size_t begin, std::size_t end) const {
    // Most keys (a data source's) have no subkeys and need no source.
    if (begin < end) key.deferSubkeys(shared_from_this(), begin, end);
  }

  const std::string& text() const { return text_; }

 private:
  std::string text_;
  std::shared_ptr<const ValueSource> values_;
};

}  // namespace

bool readHiveIndex(std::string text, HiveIndex& index, RegKey& root,
                   const std::shared_ptr<const ValueSource>& source) {
  // Every line is checked now, so that keys made later are made from lines
  // known to be sound: depths go down at most one step at a time, from the
  // root at depth 0 (which comes first and once), and values lie in the part
  // of the file the index covers.
  std::size_t keys = 0;
  std::size_t lastDepth = 0;
  auto checkKey = [&](const IndexedKey& entry) {
    if ((entry.depth == 0) != (keys == 0) || (keys != 0 && entry.depth > lastDepth + 1)) {
      return false;
    }
    for (const ValueSegment& segment : entry.segments) {
      // The covering line comes before the keys: index.end is known here.
      if (segment.end > index.end) return false;
    }
    lastDepth = entry.depth;
    ++keys;
    return true;
  };
  KeyLines keyLines;
  if (!parseHiveIndex(text, index, keyLines, checkKey) || keys == 0 ||
      index.journalBytes > index.end) {
    return false;
  }
  auto subkeys = std::make_shared<const IndexSubkeys>(std::move(text), source);
  const KeyLine rootLine = keyLineAt(subkeys->text(), keyLines.begin);
  subkeys->deferValues(root, rootLine.segments);
  subkeys->deferBelow(root, rootLine.next, keyLines.end);
  return true;
}

}  // namespace dsnconf::posix
