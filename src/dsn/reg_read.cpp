#include "dsn/reg_read.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/output.h"
#include "base/unicode.h"
#include "platform/wide_registry.h"

namespace dsnconf {

namespace {

enum class Advance { Always, OnlyPastSkipped };

// One walk for both uses: a plain walk moves on after every value; a deleting
// walk reads the same index again, since a deletion moves the rest forward.
std::int32_t walkValues(HKEY key, ValueVisitor visitor, void* context, Advance advance) {
  char name[kValueNameBuffer];
  // One byte more than the registry is offered, so that data filling the whole
  // buffer without a terminator still reaches the visitor terminated.
  char data[kValueDataBuffer + 1];
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kValueNameBuffer - 1;
    DWORD dataLength = kValueDataBuffer;
    const LSTATUS status = RegEnumValueA(key, index, name, &nameLength, nullptr, nullptr,
                                         reinterpret_cast<BYTE*>(data), &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) return 0;
    if (status == ERROR_MORE_DATA) {
      printLine("*** The key or value at index " + std::to_string(index + 1) +
                " was longer than 1024 and is being skipped ***");
      continue;
    }
    if (status != ERROR_SUCCESS) {
      printLine("*** Got error code " + std::to_string(status) + " while enumerating value " +
                std::to_string(index) + " ***");
      return status;
    }
    // Terminated where the registry's lengths end, whatever it wrote beyond:
    // the bytes before them are the whole string the visitor sees.
    name[std::min<std::size_t>(nameLength, kValueNameBuffer - 1)] = '\0';
    data[std::min<std::size_t>(dataLength, kValueDataBuffer)] = '\0';
    const std::int32_t result = visitor(key, name, data, context);
    if (result != 0) return result;
    if (advance == Advance::OnlyPastSkipped) --index;
  }
}

}  // namespace

std::string foldRegistryName(std::string name) {
  for (char& c : name) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return name;
}

bool sameRegistryName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && foldRegistryName(a) == foldRegistryName(b);
}

std::string stringText(const std::string& data) {
  std::u16string units = utf16LeUnits(data);
  units.resize(std::min(units.size(), units.find(u'\0')));
  return utf16ToWtf8(units);
}

std::string stringData(const std::string& text) {
  return utf16LeBytes(wtf8ToUtf16(text) + u'\0');
}

std::string RegistryValue::text() const {
  return isStringType(type) ? stringText(data) : data.substr(0, data.find('\0'));
}

LSTATUS openKeyIfPresent(HKEY parent, const std::string& path, REGSAM access, RegKeyHolder& key,
                         bool& found) {
  const LSTATUS status = wideOpenKey(parent, path, access, key.receive());
  found = status == ERROR_SUCCESS;
  if (status == ERROR_SUCCESS) return status;
  key.clearAfterFailure();
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS readWholeValue(HKEY key, const std::string& name, RegistryValue& value, bool& found) {
  DWORD type = REG_NONE;
  std::string data;
  const LSTATUS status = wideQueryValue(key, name, &type, &data);
  found = status == ERROR_SUCCESS;
  if (found) value = RegistryValue{name, type, std::move(data)};
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS readAllValues(HKEY key, std::vector<RegistryValue>& values) {
  for (DWORD index = 0;; ++index) {
    RegistryValue value;
    const LSTATUS status = wideEnumValue(key, index, &value.name, &value.type, &value.data);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    values.push_back(std::move(value));
  }
}

LSTATUS readSubkeyNames(HKEY key, std::vector<std::string>& names) {
  for (DWORD index = 0;; ++index) {
    std::string name;
    const LSTATUS status = wideEnumKey(key, index, &name);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS) return status;
    names.push_back(std::move(name));
  }
}

std::int32_t enumerateValues(HKEY key, ValueVisitor visitor, void* context) {
  return walkValues(key, visitor, context, Advance::Always);
}

std::int32_t deleteEveryValue(HKEY key, ValueVisitor deleter, void* context) {
  return walkValues(key, deleter, context, Advance::OnlyPastSkipped);
}

}  // namespace dsnconf
