#include "reg_tree.h"

#include <algorithm>
#include <utility>

namespace dsnconf::posix {

bool equalsIgnoreCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (foldCase(a[i]) != foldCase(b[i])) return false;
  }
  return true;
}

bool lessIgnoreCase(const std::string& a, const std::string& b) {
  std::size_t n = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < n; ++i) {
    auto x = static_cast<unsigned char>(foldCase(a[i]));
    auto y = static_cast<unsigned char>(foldCase(b[i]));
    if (x != y) return x < y;
  }
  return a.size() < b.size();
}

std::size_t IgnoreCaseHash::operator()(const std::string& name) const {
  // FNV-1a over the folded bytes.
  std::size_t hash = 14695981039346656037ull;
  for (char c : name) {
    hash ^= static_cast<unsigned char>(foldCase(c));
    hash *= 1099511628211ull;
  }
  return hash;
}

RegKey* RegKey::findChild(const std::string& name) const {
  auto it = children_.find(name);
  return it == children_.end() ? nullptr : it->second.get();
}

RegKey& RegKey::obtainChild(const std::string& name) {
  auto [it, inserted] = children_.try_emplace(name);
  if (inserted) it->second = std::make_shared<RegKey>(name, this);
  return *it->second;
}

void RegKey::removeChild(const std::string& name) {
  auto it = children_.find(name);
  if (it == children_.end()) return;
  it->second->markDeleted();
  children_.erase(it);
}

std::vector<const RegKey*> RegKey::children() const {
  std::vector<const RegKey*> result;
  result.reserve(children_.size());
  for (const auto& entry : children_) result.push_back(entry.second.get());
  return result;
}

void RegKey::markDeleted() {
  deleted_ = true;
  parent_ = nullptr;
  for (auto& entry : children_) entry.second->markDeleted();
}

std::ptrdiff_t RegKey::valuePosition(const std::string& name) const {
  if (values_.size() <= kValueIndexThreshold) {
    for (std::size_t i = 0; i < values_.size(); ++i) {
      if (equalsIgnoreCase(values_[i].name, name)) return static_cast<std::ptrdiff_t>(i);
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

const RegValue* RegKey::findValue(const std::string& name) const {
  std::ptrdiff_t pos = valuePosition(name);
  return pos < 0 ? nullptr : &values_[static_cast<std::size_t>(pos)];
}

void RegKey::setValue(const std::string& name, DWORD type, std::string data) {
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
  return true;
}

bool RegTreeSink::deleteKey(const std::vector<std::string>& path, std::string& error) {
  current_ = nullptr;
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
  if (current_ != nullptr) current_->setValue(name, type, std::move(data));
}

void RegTreeSink::deleteValue(const std::string& name) {
  if (current_ != nullptr) current_->deleteValue(name);
}

std::vector<const RegKey*> RegTreeSink::roots() const {
  std::vector<const RegKey*> roots;
  if (fixedRoot_ != nullptr) roots.push_back(fixedRoot_);
  for (const auto& root : ownRoots_) roots.push_back(root.get());
  return roots;
}

std::string formatRegTrees(const std::vector<const RegKey*>& roots) {
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
  for (const auto& [path, key] : keys) {
    if (key->parent() == nullptr && key->values().empty()) continue;
    text += '\n';
    appendSectionLine(text, path);
    for (const RegValue& value : key->values()) {
      appendValueLine(text, value.name, value.type, value.data);
    }
  }
  return text;
}

}  // namespace dsnconf::posix
