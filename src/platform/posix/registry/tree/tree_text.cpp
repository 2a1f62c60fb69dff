#include "registry/tree/tree_text.h"

#include <algorithm>

#include "registry/text/reg_decoding.h"
#include "registry/text/reg_format.h"
#include "registry/text/reg_parser.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/tree_sink.h"

namespace dsnconf::posix {

namespace {

// Builds trees from a whole file for canonicalRegText.
bool parseWholeFile(const std::string& fileBytes, RegTreeSink& sink, std::string& error) {
  DecodedRegText decoded;
  if (!decodeRegFile(fileBytes, decoded, error)) return false;
  RegParseResult result = parseRegText(decoded.text, wholeFileOptions(decoded), sink);
  if (!result.ok) error = result.error;
  return result.ok;
}

}  // namespace

std::string formatRegTrees(const std::vector<const RegKey*>& roots, KeySegments* valueLines) {
  std::vector<std::pair<std::string, const RegKey*>> keys;
  std::vector<const RegKey*> pending(roots.begin(), roots.end());
  while (!pending.empty()) {
    const RegKey* key = pending.back();
    pending.pop_back();
    keys.emplace_back(key->fullPath(), key);
    for (const RegKey* child : key->children()) pending.push_back(child);
  }
  std::sort(keys.begin(), keys.end(),
            [](const auto& a, const auto& b) { return lessIgnoreCase(a.first, b.first); });

  std::string text(kRegHeader);
  text += '\n';
  std::size_t lines = 1;
  for (const auto& [path, key] : keys) {
    if (key->parent() == nullptr && key->values().empty()) continue;
    text += '\n';
    appendSectionLine(text, path);
    lines += 2;
    const std::size_t begin = text.size();
    for (const RegValue& value : key->values()) {
      appendValueLine(text, value.name, value.type, value.data);
    }
    if (valueLines != nullptr && !key->values().empty()) {
      valueLines->emplace_back(key, ValueSegment{begin, text.size(), lines + 1});
    }
    lines += static_cast<std::size_t>(std::count(text.begin() + begin, text.end(), '\n'));
  }
  return text;
}

bool canonicalRegText(const std::string& fileBytes, std::string& canonical, std::string& error) {
  RegTreeSink sink;
  if (!parseWholeFile(fileBytes, sink, error)) return false;
  canonical = formatRegTrees(sink.roots());
  return true;
}

}  // namespace dsnconf::posix
