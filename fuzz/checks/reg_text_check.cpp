#include "reg_text_check.h"

#include <memory>
#include <string>
#include <vector>

#include "registry/store/hive_index.h"
#include "registry/text/journal.h"
#include "registry/text/reg_decoding.h"
#include "registry/text/reg_format.h"
#include "registry/text/reg_parser.h"
#include "registry/tree/reg_key.h"
#include "registry/tree/tree_sink.h"
#include "registry/tree/tree_text.h"
#include "registry/tree/value_lines.h"

namespace dsnconf::fuzz {
namespace {

using posix::RegKey;
using posix::RegParseOptions;
using posix::RegParseResult;
using posix::RegTreeSink;

// The canonical text's statements: everything after its header line.
std::string statementsOf(const std::string& canonical) {
  return canonical.substr(canonical.find('\n') + 1);
}

std::string checkRoundTrips(const std::string& canonical) {
  std::string again;
  std::string error;
  if (!posix::canonicalRegText(canonical, again, error)) {
    return "the canonical text does not read back: " + error;
  }
  if (again != canonical) return "the canonical text reads back as another text";

  const std::string journal =
      std::string(posix::kRegHeader) + "\n" + posix::journalEntry(statementsOf(canonical));
  if (!posix::canonicalRegText(journal, again, error)) {
    return "the statements as a journal entry do not read back: " + error;
  }
  if (again != canonical) return "the statements as a journal entry give another state";
  return {};
}

// As a hive file is read: a whole read of the first `cut` bytes, then the
// rest from where that read stopped, both into one root; against one whole
// read of the text.
std::string checkStepwiseRead(std::string_view text, std::size_t cut, const std::string& rootName,
                              const std::string& whole) {
  auto root = std::make_shared<RegKey>(rootName, nullptr);
  RegTreeSink first(*root);
  RegParseResult head = posix::parseRegText(text.substr(0, cut), RegParseOptions{}, first);
  if (!head.ok) return {};
  if (head.validEnd > cut) return "a read reports more valid text than it was given";
  RegParseOptions appended;
  appended.expectHeader = false;
  appended.firstLine = head.lineAtValidEnd;
  RegTreeSink rest(*root);
  RegParseResult tail = posix::parseRegText(text.substr(head.validEnd), appended, rest);
  if (!tail.ok) return {};
  if (posix::formatRegTrees({root.get()}) != whole) {
    return "reading in two steps at byte " + std::to_string(cut) + " gives another state";
  }
  return {};
}

// Value lines read back from the text itself, as a hive reads them back
// from its file.
class TextValueSource : public posix::ValueSource {
 public:
  explicit TextValueSource(std::string_view text) : text_(text) {}
  void readValues(RegKey& key, const std::vector<posix::ValueSegment>& segments) const override {
    for (const posix::ValueSegment& segment : segments) {
      if (segment.end > text_.size() ||
          !posix::readValueLines(key, text_.substr(segment.begin, segment.end - segment.begin),
                                 segment)
               .ok) {
        failed = true;
      }
    }
  }
  mutable bool failed = false;

 private:
  std::string_view text_;
};

// Values left in the text and read on first use, straight from the parse
// and through an index of it, give the state a whole read gives.
std::string checkLazyRead(std::string_view text, const std::string& rootName,
                          const std::string& whole) {
  auto source = std::make_shared<const TextValueSource>(text);
  auto lazy = std::make_shared<RegKey>(rootName, nullptr);
  RegTreeSink sink(*lazy, source);
  RegParseResult parsed = posix::parseRegText(text, RegParseOptions{}, sink);
  if (!parsed.ok) return "a text read whole is refused when its values are left for later";

  posix::HiveIndex index;
  index.end = parsed.validEnd;
  index.line = parsed.lineAtValidEnd;
  index.journalBytes = parsed.journalBytes;
  index.keys = posix::indexKeys(*lazy, [](const RegKey& key) { return key.pendingValues(); });
  posix::HiveIndex readBack;
  auto indexed = std::make_shared<RegKey>(rootName, nullptr);
  if (!posix::readHiveIndex(posix::formatHiveIndex(index), readBack, *indexed, source)) {
    return "an index does not read back";
  }
  if (readBack.end != index.end || readBack.line != index.line ||
      readBack.journalBytes != index.journalBytes) {
    return "an index reads back with other bounds";
  }
  if (posix::formatRegTrees({lazy.get()}) != whole) return "values read later give another state";
  if (posix::formatRegTrees({indexed.get()}) != whole) {
    return "values read through an index give another state";
  }
  if (source->failed) return "value lines of a key do not read back";
  return {};
}

}  // namespace

std::string checkRegText(std::string_view input) {
  std::string canonical;
  std::string error;
  if (!posix::canonicalRegText(std::string(input), canonical, error)) {
    if (error.empty()) return "a refused text gives no reason";
    return {};
  }
  std::string problem = checkRoundTrips(canonical);
  if (!problem.empty()) return problem;

  // Only 8-bit text of one root is ever read in steps.
  posix::DecodedRegText decoded;
  if (!posix::decodeRegFile(std::string(input), decoded, error) ||
      decoded.encoding != posix::RegTextEncoding::Bytes) {
    return {};
  }
  RegTreeSink wholeRead;
  posix::parseRegText(decoded.text, RegParseOptions{}, wholeRead);
  const std::vector<const RegKey*> roots = wholeRead.roots();
  if (roots.size() > 1) return {};
  const std::string rootName = roots.empty() ? "HKEY_CURRENT_USER" : roots[0]->name();
  const std::string whole = posix::formatRegTrees(roots);

  problem = checkLazyRead(decoded.text, rootName, whole);
  if (!problem.empty()) return problem;

  // Appends always begin after a complete line: cut after each line end.
  const std::string& text = decoded.text;
  for (std::size_t end = text.find('\n'); end != std::string::npos;
       end = text.find('\n', end + 1)) {
    problem = checkStepwiseRead(text, end + 1, rootName, whole);
    if (!problem.empty()) return problem;
  }
  return {};
}

}  // namespace dsnconf::fuzz
