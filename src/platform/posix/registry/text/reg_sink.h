// What a parse of .reg text hands its statements to.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "win32.h"

namespace dsnconf::posix {

// Receives the statements of a .reg text in file order.
class RegTextSink {
 public:
  virtual ~RegTextSink() = default;
  // "[path]": `path` is the key path split at backslashes, root name first.
  // Returns false with a reason when the key cannot be taken.
  virtual bool openKey(const std::vector<std::string>& path, std::string& error) = 0;
  // "[-path]".
  virtual bool deleteKey(const std::vector<std::string>& path, std::string& error) = 0;
  // A value line of the key last opened.
  virtual void setValue(const std::string& name, DWORD type, std::string data) = 0;
  virtual void deleteValue(const std::string& name) = 0;
  // Where the value line just passed to setValue or deleteValue lies: its
  // offset in the file (see RegParseOptions::firstOffset), the offset just
  // past its last continuation line, and its line number.
  virtual void valueLines(std::size_t /*begin*/, std::size_t /*end*/, std::size_t /*line*/) {}
  // False for a sink that only notes where value lines lie: their strings
  // are then checked but not decoded, and setValue and deleteValue not called.
  virtual bool wantsValues() const { return true; }
};

}  // namespace dsnconf::posix
