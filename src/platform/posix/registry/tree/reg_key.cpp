#include "registry/tree/reg_key.h"

#include <algorithm>

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

RegKey* findKey(RegKey& from, const std::vector<std::string>& path) {
  RegKey* key = &from;
  for (const std::string& name : path) {
    key = key->findChild(name);
    if (key == nullptr) return nullptr;
  }
  return key;
}

}  // namespace dsnconf::posix
