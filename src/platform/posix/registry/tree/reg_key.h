// The in-memory registry tree: keys with their subkeys and values, as one
// hive file describes them.
//
// Names compare without regard to ASCII case and keep the case they were
// created with. Values keep their creation order, which is the order in which
// RegEnumValueA hands them out.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "registry/text/ascii_case.h"
#include "win32.h"

namespace dsnconf::posix {

struct RegValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;
};

class RegKey;

// A run of value lines of one key in a hive file: byte offsets and the
// number of its first line.
struct ValueSegment {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t line = 0;
};

// Where the values of keys read lazily come from. A hive of thousands of
// data sources is mostly values that a command never looks at; a key's
// values are read only when first asked for.
class ValueSource {
 public:
  virtual ~ValueSource() = default;
  // Applies the value lines of `segments`, in order, to `key`. A source that
  // cannot read them reports it itself and leaves the key without them.
  virtual void readValues(RegKey& key, const std::vector<ValueSegment>& segments) const = 0;
};

// Where the subkeys of keys read lazily come from: an index of the hive
// lists every key, and a key's subkeys are made only when first asked for,
// one by one when looked up by name.
class SubkeySource {
 public:
  virtual ~SubkeySource() = default;
  // Makes every subkey of `key` that lies in `lines` (the part of the source
  // below `key`) and that `key` does not hold yet.
  virtual void readSubkeys(RegKey& key, std::size_t begin, std::size_t end) const = 0;
  // Makes the subkey `name` if it lies in those lines; null when none does.
  virtual RegKey* readSubkey(RegKey& key, std::size_t begin, std::size_t end,
                             const std::string& name) const = 0;
};

class RegKey : public std::enable_shared_from_this<RegKey> {
 public:
  RegKey(std::string name, RegKey* parent) : name_(std::move(name)), parent_(parent) {}
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;

  const std::string& name() const { return name_; }
  RegKey* parent() const { return parent_; }
  // True once the key has been removed from its tree; open handles then see
  // ERROR_KEY_DELETED.
  bool deleted() const { return deleted_; }

  RegKey* findChild(const std::string& name) const;
  // The existing subkey of that name, or a new one.
  RegKey& obtainChild(const std::string& name);
  bool hasChildren() const {
    readPendingSubkeys();
    return !children_.empty();
  }
  // Removes the subkey with everything below it.
  void removeChild(const std::string& name);
  // Subkeys in no particular order.
  std::vector<const RegKey*> children() const;
  std::size_t childCount() const {
    readPendingSubkeys();
    return children_.size();
  }

  const std::vector<RegValue>& values() const {
    readPendingValues();
    return values_;
  }
  const RegValue* findValue(const std::string& name) const;
  // Room for `more` values beyond those held.
  void reserveValues(std::size_t more) { values_.reserve(values_.size() + more); }
  // Drops every value held, for a reader of the key's lines that starts over.
  void clearValues() {
    values_.clear();
    valueIndex_.clear();
  }
  // Replaces the data of an existing value in its place, or appends a new one.
  void setValue(const std::string& name, DWORD type, std::string data);
  bool deleteValue(const std::string& name);

  // Values still in the file: the key's values are those of `segments`, read
  // from `source` on first use. Adds to segments already pending.
  void deferValues(const std::shared_ptr<const ValueSource>& source, const ValueSegment& segment);
  // Extends the last segment deferred to `end`.
  void extendDeferredValues(std::size_t end) { pending_.back().end = end; }
  const std::vector<ValueSegment>& pendingValues() const { return pending_; }
  // Reads pending values now.
  void readPendingValues() const;
  // Drops values read from `source` and unchanged since, to be read again
  // from the same lines when next asked for: a walk over thousands of keys
  // then holds the values of the keys it has open, not of all it has seen.
  // False, keeping the values, when they were not all read that way.
  bool releaseValues(const ValueSource* source);

  // Subkeys still in a source: the key's subkeys are those of lines
  // [begin, end) of `source`, made on first use.
  void deferSubkeys(std::shared_ptr<const SubkeySource> source, std::size_t begin, std::size_t end);
  // Makes a subkey without reading pending ones, for a SubkeySource making
  // the subkeys it lists; null when the key holds one of the name already.
  RegKey* makeChild(const std::string& name);

  // Names from the hive's root key (excluded) down to this key.
  std::vector<std::string> pathBelowRoot() const;
  // "HKEY_LOCAL_MACHINE\SOFTWARE\..." as a .reg section names it.
  std::string fullPath() const;

 private:
  // Keys with many values (a data-source list) get a name index so that
  // setting one value does not scan all the others. A data source's own key
  // of a few dozen values is scanned: an index for each of thousands of such
  // keys would cost more to build than it saves.
  static constexpr std::size_t kValueIndexThreshold = 64;

  std::ptrdiff_t valuePosition(const std::string& name) const;
  void forgetReadSegments();
  void markDeleted();
  void readPendingSubkeys() const;

  std::string name_;
  RegKey* parent_;
  bool deleted_ = false;
  std::unordered_map<std::string, std::shared_ptr<RegKey>, IgnoreCaseHash, IgnoreCaseEqual>
      children_;
  std::vector<RegValue> values_;
  mutable std::unordered_map<std::string, std::size_t, IgnoreCaseHash, IgnoreCaseEqual> valueIndex_;
  std::vector<ValueSegment> pending_;
  std::shared_ptr<const ValueSource> source_;
  // The segments the values were read from, while they are all the key
  // holds; emptied by any change.
  std::vector<ValueSegment> readFrom_;
  std::shared_ptr<const ValueSource> readSource_;
  std::size_t subkeysBegin_ = 0;
  std::size_t subkeysEnd_ = 0;
  std::shared_ptr<const SubkeySource> subkeySource_;
  // Whether a subkey was looked up by name in the source already.
  bool lookedUpInSource_ = false;
};

// Walks `path` down from `from`; null when a key on the way is missing.
RegKey* findKey(RegKey& from, const std::vector<std::string>& path);

}  // namespace dsnconf::posix
