#include "registry/tree/tree_sink.h"

namespace dsnconf::posix {

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

}  // namespace dsnconf::posix
