// Reading the registry the way the commands need it: one owner per open key,
// a key opened where present, a value read whole whatever its size, every
// value of a key, the string part of data, and the fixed-buffer walk over a
// key's values that the first commands print from. The first six commands
// read through the ANSI calls, as they always have; the later ones through
// the wide registry (platform/wide_registry.h), with names as WTF-8 and the
// string types' data as UTF-16LE.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/wide_registry.h"
#include "win32.h"

namespace dsnconf {

// Owns one registry key and closes it exactly once.
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

// Registry names compare without regard to ASCII case: the name as compared.
std::string foldRegistryName(std::string name);
bool sameRegistryName(const std::string& a, const std::string& b);

// String data (UTF-16LE) up to its first zero code unit, as WTF-8: what a
// string value says.
std::string stringText(const std::string& data);

// String data for text: UTF-16LE with its terminator.
std::string stringData(const std::string& text);

// A value as the wide calls hand it over: its name (WTF-8), its type and its
// exact bytes (a string's UTF-16LE with the terminators it was stored with).
struct RegistryValue {
  std::string name;
  DWORD type = REG_NONE;
  std::string data;

  // What a string value says; the bytes up to the first zero for other types.
  std::string text() const;
};

// Opens `path` below `parent` with `access`. A missing key is no failure:
// ERROR_SUCCESS with `found` false. Any other error is returned.
LSTATUS openKeyIfPresent(HKEY parent, const std::string& path, REGSAM access, RegKeyHolder& key,
                         bool& found);

// Reads one value whole, reading again where it grew between the calls. A
// missing value is no failure: ERROR_SUCCESS with `found` false.
LSTATUS readWholeValue(HKEY key, const std::string& name, RegistryValue& value, bool& found);

// Every value of an open key, whole, in registry order.
LSTATUS readAllValues(HKEY key, std::vector<RegistryValue>& values);

// The names of the subkeys of an open key, in the order Windows lists them.
LSTATUS readSubkeyNames(HKEY key, std::vector<std::string>& names);

// Called once per value: the key walked, the value's name, its data as a
// terminated string whatever its type, and the caller's context. A non-zero
// result stops the walk and is passed back.
using ValueVisitor = std::int32_t (*)(HKEY key, const char* name, const char* data, void* context);

// The buffers the first commands read a value into: a value whose data (with
// its terminator) or name does not fit is reported and passed over.
constexpr std::size_t kValueNameBuffer = 1024;
constexpr std::size_t kValueDataBuffer = 1024;

// Walks every value of the open key; returns 0 when all were walked, the
// visitor's non-zero result, or the registry error that ended the walk.
std::int32_t enumerateValues(HKEY key, ValueVisitor visitor, void* context);

// The same walk for a visitor that deletes the value it is handed: the index
// is read again after each deletion, and advances only past a value that was
// reported as too long.
std::int32_t deleteEveryValue(HKEY key, ValueVisitor deleter, void* context);

}  // namespace dsnconf
