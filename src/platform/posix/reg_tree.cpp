#include "reg_tree.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "registry/text/reg_format.h"
#include "registry/text/reg_writer.h"

namespace dsnconf::posix {

RegKey* RegKey::findChild(const std::string& name) const {
  auto it = children_.find(name);
  if (it != children_.end()) return it->second.get();
  if (!subkeySource_) return nullptr;
  // The first lookup makes the pending subkey of that name alone: a command
  // that wants one data source of thousands makes just that one. A key
  // looked up in again makes all its subkeys at once, so that a walk over
  // every data source makes each one once instead of searching each time.
  auto& self = const_cast<RegKey&>(*this);
  if (!lookedUpInSource_) {
    self.lookedUpInSource_ = true;
    return subkeySource_->readSubkey(self, subkeysBegin_, subkeysEnd_, name);
  }
  readPendingSubkeys();
  it = children_.find(name);
  return it == children_.end() ? nullptr : it->second.get();
}

RegKey& RegKey::obtainChild(const std::string& name) {
  // No pending subkey has the name once findChild found none.
  RegKey* found = findChild(name);
  return found != nullptr ? *found : *makeChild(name);
}

RegKey* RegKey::makeChild(const std::string& name) {
  auto [it, inserted] = children_.try_emplace(name);
  if (!inserted) return nullptr;
  it->second = std::make_shared<RegKey>(name, this);
  return it->second.get();
}

void RegKey::deferSubkeys(std::shared_ptr<const SubkeySource> source, std::size_t begin,
                          std::size_t end) {
  subkeySource_ = std::move(source);
  subkeysBegin_ = begin;
  subkeysEnd_ = end;
}

void RegKey::readPendingSubkeys() const {
  if (!subkeySource_) return;
  // As for values: keys are only ever made as mutable objects.
  auto& self = const_cast<RegKey&>(*this);
  std::shared_ptr<const SubkeySource> source = std::move(self.subkeySource_);
  self.subkeySource_.reset();
  source->readSubkeys(self, subkeysBegin_, subkeysEnd_);
}

void RegKey::removeChild(const std::string& name) {
  // Every subkey is made first, so that none that is removed stays pending.
  readPendingSubkeys();
  auto it = children_.find(name);
  if (it == children_.end()) return;
  it->second->markDeleted();
  children_.erase(it);
}

std::vector<const RegKey*> RegKey::children() const {
  readPendingSubkeys();
  std::vector<const RegKey*> result;
  result.reserve(children_.size());
  for (const auto& entry : children_) result.push_back(entry.second.get());
  return result;
}

void RegKey::markDeleted() {
  deleted_ = true;
  parent_ = nullptr;
  // Subkeys never made are gone with it; nothing can hold them.
  subkeySource_.reset();
  for (auto& entry : children_) entry.second->markDeleted();
}

std::ptrdiff_t RegKey::valuePosition(const std::string& name) const {
  if (values_.size() <= kValueIndexThreshold) {
    // Reading a key's lines looks up every name among those before it; most
    // differ in length or first letter.
    for (std::size_t i = 0; i < values_.size(); ++i) {
      const std::string& other = values_[i].name;
      if (other.size() == name.size() &&
          (name.empty() || foldCase(other[0]) == foldCase(name[0])) &&
          equalsIgnoreCase(other, name)) {
        return static_cast<std::ptrdiff_t>(i);
      }
    }
    return -1;
  }
  if (valueIndex_.size() != values_.size()) {
    valueIndex_.clear();
    for (std::size_t i = 0; i < values_.size(); ++i) valueIndex_.emplace(values_[i].name, i);
  }
  auto it = valueIndex_.find(name);
  return it == valueIndex_.end() ? -1 : static_cast<std::ptrdiff_t>(it->second);
}

void RegKey::deferValues(const std::shared_ptr<const ValueSource>& source,
                         const ValueSegment& segment) {
  if (pending_.empty()) source_ = source;
  pending_.push_back(segment);
}

void RegKey::readPendingValues() const {
  if (pending_.empty()) return;
  // Keys are only ever made as mutable objects; reading the values the file
  // holds for this one fills in what it already stands for.
  auto& self = const_cast<RegKey&>(*this);
  std::vector<ValueSegment> segments = std::move(self.pending_);
  self.pending_.clear();
  std::shared_ptr<const ValueSource> source = std::move(self.source_);
  // Only values that came from the file alone can be read from it again.
  const bool onlyFromFile = values_.empty();
  source->readValues(self, segments);
  if (onlyFromFile) {
    self.readFrom_ = std::move(segments);
    self.readSource_ = std::move(source);
  }
}

bool RegKey::releaseValues(const ValueSource* source) {
  if (deleted_ || !pending_.empty() || readFrom_.empty() || readSource_.get() != source) {
    return false;
  }
  pending_ = std::move(readFrom_);
  source_ = std::move(readSource_);
  forgetReadSegments();
  std::vector<RegValue>().swap(values_);
  valueIndex_.clear();
  return true;
}

void RegKey::forgetReadSegments() {
  readFrom_.clear();
  readSource_.reset();
}

const RegValue* RegKey::findValue(const std::string& name) const {
  readPendingValues();
  std::ptrdiff_t pos = valuePosition(name);
  return pos < 0 ? nullptr : &values_[static_cast<std::size_t>(pos)];
}

void RegKey::setValue(const std::string& name, DWORD type, std::string data) {
  readPendingValues();
  forgetReadSegments();
  std::ptrdiff_t pos = valuePosition(name);
  if (pos >= 0) {
    RegValue& value = values_[static_cast<std::size_t>(pos)];
    value.type = type;
    value.data = std::move(data);
    return;
  }
  // Only a key past the threshold keeps its index; a smaller key is scanned.
  bool indexCurrent = values_.size() > kValueIndexThreshold && valueIndex_.size() == values_.size();
  values_.push_back(RegValue{name, type, std::move(data)});
  if (indexCurrent) valueIndex_.emplace(name, values_.size() - 1);
}

bool RegKey::deleteValue(const std::string& name) {
  readPendingValues();
  forgetReadSegments();
  std::ptrdiff_t pos = valuePosition(name);
  if (pos < 0) return false;
  values_.erase(values_.begin() + pos);
  valueIndex_.clear();
  return true;
}

std::vector<std::string> RegKey::pathBelowRoot() const {
  std::vector<std::string> path;
  for (const RegKey* key = this; key->parent_ != nullptr; key = key->parent_) {
    path.push_back(key->name_);
  }
  std::reverse(path.begin(), path.end());
  return path;
}

std::string RegKey::fullPath() const {
  std::vector<const RegKey*> chain;
  for (const RegKey* key = this; key != nullptr; key = key->parent_) chain.push_back(key);
  std::string path;
  for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
    if (!path.empty()) path += '\\';
    path += (*it)->name_;
  }
  return path;
}

namespace {

// Takes the value lines of one key.
class KeyValuesSink : public RegTextSink {
 public:
  explicit KeyValuesSink(RegKey& key) : key_(key) {}
  bool openKey(const std::vector<std::string>&, std::string& error) override {
    error = "key line among the value lines of a key";
    return false;
  }
  bool deleteKey(const std::vector<std::string>& path, std::string& error) override {
    return openKey(path, error);
  }
  void setValue(const std::string& name, DWORD type, std::string data) override {
    key_.setValue(name, type, std::move(data));
  }
  void deleteValue(const std::string& name) override { key_.deleteValue(name); }

 private:
  RegKey& key_;
};

}  // namespace

namespace {

// Reads the "..." string whose opening quote is at line[pos], as the parser
// does: \\ and \" are escapes, any other backslash is itself. Leaves pos
// after the closing quote.
bool takeQuoted(std::string_view line, std::size_t& pos, std::string& out) {
  ++pos;
  while (true) {
    const std::size_t quote = line.find('"', pos);
    if (quote == std::string_view::npos) return false;
    const std::size_t backslash = line.substr(0, quote).find('\\', pos);
    if (backslash == std::string_view::npos) {
      out.append(line, pos, quote - pos);
      pos = quote + 1;
      return true;
    }
    out.append(line, pos, backslash - pos);
    const char next = backslash + 1 < line.size() ? line[backslash + 1] : '\0';
    const bool escape = next == '\\' || next == '"';
    out += escape ? next : '\\';
    pos = backslash + (escape ? 2 : 1);
  }
}

// A line of the form most value lines of a hive file take, "name"="data"
// and nothing else: its name and string data (with the terminator the
// parser adds). `line` is without its LF; one with a CR before it, blanks,
// comments or other data is not of this form.
bool quotedStringLine(std::string_view line, std::string& name, std::string& data) {
  if (line.empty() || line.front() != '"') return false;
  std::size_t pos = 0;
  if (!takeQuoted(line, pos, name) || line.compare(pos, 2, "=\"") != 0) return false;
  ++pos;
  data.reserve(line.size() - pos);
  if (!takeQuoted(line, pos, data) || pos != line.size()) return false;
  data += '\0';
  return true;
}

std::size_t countLines(std::string_view lines) {
  std::size_t count = 0;
  for (std::size_t lf = lines.find('\n'); lf != std::string_view::npos;
       lf = lines.find('\n', lf + 1)) {
    ++count;
  }
  return count;
}

// Sets the values of a key that holds none yet when every line is of that
// form and ends in an LF; otherwise leaves the key without values again.
bool setQuotedStringLines(RegKey& key, std::string_view lines) {
  if (lines.empty() || lines.back() != '\n') return false;
  std::string name;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t lf = lines.find('\n', start);
    name.clear();
    std::string data;
    if (!quotedStringLine(lines.substr(start, lf - start), name, data)) {
      key.clearValues();
      return false;
    }
    key.setValue(name, REG_SZ, std::move(data));
    start = lf + 1;
  }
  return true;
}

}  // namespace

RegParseResult readValueLines(RegKey& key, std::string_view lines, const ValueSegment& segment) {
  const std::size_t count = countLines(lines);
  // About one value a line: room for them all at once.
  key.reserveValues(count);
  // A listing reads every value of thousands of keys: lines of the usual
  // form are set as the parser would set them, without its general walk.
  if (key.values().empty() && setQuotedStringLines(key, lines)) {
    RegParseResult result;
    result.validEnd = lines.size();
    result.lineAtValidEnd = segment.line + count;
    return result;
  }
  KeyValuesSink sink(key);
  RegParseOptions options;
  options.expectHeader = false;
  options.keyOpen = true;
  options.firstLine = segment.line;
  options.firstOffset = segment.begin;
  return parseRegText(lines, options, sink);
}

RegKey* findKey(RegKey& from, const std::vector<std::string>& path) {
  RegKey* key = &from;
  for (const std::string& name : path) {
    key = key->findChild(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

RegKey* RegTreeSink::rootNamed(const std::string& name, std::string& error) {
  if (fixedRoot_ != nullptr) {
    if (equalsIgnoreCase(name, fixedRoot_->name())) return fixedRoot_;
    error = "key outside " + fixedRoot_->name();
    return nullptr;
  }
  static const std::string kRootPrefix = "HKEY_";
  if (name.size() <= kRootPrefix.size() ||
      !equalsIgnoreCase(name.substr(0, kRootPrefix.size()), kRootPrefix)) {
    error = "key path does not begin with a root key (HKEY_...)";
    return nullptr;
  }
  for (const auto& root : ownRoots_) {
    if (equalsIgnoreCase(root->name(), name)) return root.get();
  }
  std::string upper = name;
  for (char& c : upper) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  ownRoots_.push_back(std::make_shared<RegKey>(upper, nullptr));
  return ownRoots_.back().get();
}

bool RegTreeSink::openKey(const std::vector<std::string>& path, std::string& error) {
  RegKey* key = rootNamed(path.front(), error);
  if (key == nullptr) return false;
  for (std::size_t i = 1; i < path.size(); ++i) key = &key->obtainChild(path[i]);
  current_ = key;
  segmentOpen_ = false;
  return true;
}

bool RegTreeSink::deleteKey(const std::vector<std::string>& path, std::string& error) {
  current_ = nullptr;
  segmentOpen_ = false;
  RegKey* parent = rootNamed(path.front(), error);
  if (parent == nullptr) return false;
  if (path.size() == 1) {
    error = "a root key cannot be deleted";
    return false;
  }
  for (std::size_t i = 1; i + 1 < path.size() && parent != nullptr; ++i) {
    parent = parent->findChild(path[i]);
  }
  if (parent != nullptr) parent->removeChild(path.back());
  return true;
}

void RegTreeSink::setValue(const std::string& name, DWORD type, std::string data) {
  if (current_ != nullptr && !source_) current_->setValue(name, type, std::move(data));
}

void RegTreeSink::deleteValue(const std::string& name) {
  if (current_ != nullptr && !source_) current_->deleteValue(name);
}

void RegTreeSink::valueLines(std::size_t begin, std::size_t end, std::size_t line) {
  if (current_ == nullptr || !source_) return;
  // The lines of one section between its value lines are blank or comments,
  // so one segment covers the section's values.
  if (segmentOpen_) {
    current_->extendDeferredValues(end);
  } else {
    current_->deferValues(source_, ValueSegment{begin, end, line});
    segmentOpen_ = true;
  }
}

std::vector<const RegKey*> RegTreeSink::roots() const {
  std::vector<const RegKey*> roots;
  if (fixedRoot_ != nullptr) roots.push_back(fixedRoot_);
  for (const auto& root : ownRoots_) roots.push_back(root.get());
  return roots;
}

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

bool canonicalRegText(const std::string& fileBytes, std::string& canonical, std::string& error) {
  RegTreeSink sink;
  if (!parseWholeFile(fileBytes, sink, error)) return false;
  canonical = formatRegTrees(sink.roots());
  return true;
}

}  // namespace dsnconf::posix
