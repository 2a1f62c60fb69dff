// Building trees from parsed .reg text: a whole hive file, with its values
// read or left in the file, or the entries appended to one.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "registry/text/reg_sink.h"
#include "registry/tree/reg_key.h"
#include "win32.h"

namespace dsnconf::posix {

// Applies parsed .reg statements to trees.
class RegTreeSink : public RegTextSink {
 public:
  // Takes keys under any root whose name begins with "HKEY_"; each root is
  // made, named in capitals, when first met.
  RegTreeSink() = default;
  // Takes keys under `root` only.
  explicit RegTreeSink(RegKey& root) : fixedRoot_(&root) {}
  // Takes keys under `root` only, leaving their values in the file: each key
  // is given the segments of its value lines, to be read from `source`.
  RegTreeSink(RegKey& root, std::shared_ptr<const ValueSource> source)
      : fixedRoot_(&root), source_(std::move(source)) {}

  bool openKey(const std::vector<std::string>& path, std::string& error) override;
  bool deleteKey(const std::vector<std::string>& path, std::string& error) override;
  void setValue(const std::string& name, DWORD type, std::string data) override;
  void deleteValue(const std::string& name) override;
  void valueLines(std::size_t begin, std::size_t end, std::size_t line) override;
  bool wantsValues() const override { return !source_; }

  std::vector<const RegKey*> roots() const;

 private:
  RegKey* rootNamed(const std::string& name, std::string& error);

  RegKey* fixedRoot_ = nullptr;
  std::shared_ptr<const ValueSource> source_;
  std::vector<std::shared_ptr<RegKey>> ownRoots_;
  RegKey* current_ = nullptr;
  // Whether the current key's last segment is the one of this section.
  bool segmentOpen_ = false;
};

}  // namespace dsnconf::posix
