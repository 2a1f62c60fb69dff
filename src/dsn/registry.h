// Reaching data sources in the registry: the key holder, the lookup of a data
// source's key and the walk over a key's values.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "win32.h"

namespace dsnconf {

// Owns one registry key for one scope and closes it exactly once.
class RegKeyHolder {
 public:
  RegKeyHolder() = default;
  ~RegKeyHolder() { close(); }
  RegKeyHolder(const RegKeyHolder&) = delete;
  RegKeyHolder& operator=(const RegKeyHolder&) = delete;

  HKEY get() const { return key_; }
  // Where a Reg*Ex call stores the key it opens; any key held is closed first.
  HKEY* receive() {
    close();
    return &key_;
  }
  // Forgets a handle that a failed call may have left behind.
  void clearAfterFailure() { key_ = nullptr; }
  void close() {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
  }

 private:
  HKEY key_ = nullptr;
};

// Called once per value: the key walked, the value's name, its data as a
// terminated string whatever its type, and the caller's context. A non-zero
// result stops the walk and is passed back.
using ValueVisitor = std::int32_t (*)(HKEY key, const char* name, const char* data, void* context);

// The paths of the ODBC data-source tree.
constexpr const char* kOdbcIniPath = "SOFTWARE\\ODBC\\ODBC.INI";
constexpr const char* kDataSourceListPath = "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources";
constexpr const char* kOdbcInstPath = "SOFTWARE\\ODBC\\ODBCINST.INI";

// Where a data source's key, or its entry in a data-source list, is looked
// for, in this order, each with full access: the current user, then the
// machine's 64-bit view, then its 32-bit view.
struct RegistryPlace {
  HKEY root;
  REGSAM access;
};
extern const RegistryPlace kDataSourcePlaces[3];

// The buffers a value is read into: a value whose data (with its terminator)
// or name does not fit is reported and passed over.
constexpr std::size_t kValueNameBuffer = 1024;
constexpr std::size_t kValueDataBuffer = 1024;

// Registry names compare without regard to ASCII case: the name as compared.
std::string foldRegistryName(std::string name);
bool sameRegistryName(const std::string& a, const std::string& b);

// Opens the data source's key with full access: current user, then the
// 64-bit machine view, then the 32-bit one. On false two lines are printed.
bool openDsnKey(const char* name, RegKeyHolder& key);

// Walks every value of the open key; returns 0 when all were walked, the
// visitor's non-zero result, or the registry error that ended the walk.
std::int32_t enumerateValues(HKEY key, ValueVisitor visitor, void* context);

// The same walk for a visitor that deletes the value it is handed: the index
// is read again after each deletion, and advances only past a value that was
// reported as too long.
std::int32_t deleteEveryValue(HKEY key, ValueVisitor deleter, void* context);

}  // namespace dsnconf
