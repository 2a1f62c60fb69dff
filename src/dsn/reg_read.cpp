#include "dsn/reg_read.h"

#include <algorithm>
#include <string>
#include <vector>

#include "base/output.h"

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

std::string stringPart(const std::string& data) {
  return data.substr(0, data.find('\0'));
}

LSTATUS openKeyIfPresent(HKEY parent, const std::string& path, REGSAM access, RegKeyHolder& key,
                         bool& found) {
  const LSTATUS status = RegOpenKeyExA(parent, path.c_str(), 0, access, key.receive());
  found = status == ERROR_SUCCESS;
  if (status == ERROR_SUCCESS) return status;
  key.clearAfterFailure();
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS readWholeValue(HKEY key, const std::string& name, RegistryValue& value, bool& found) {
  found = false;
  DWORD type = REG_NONE;
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, name.c_str(), nullptr, &type, nullptr, &size);
  std::vector<BYTE> data;
  // The value may grow between the two calls; read again with its new size.
  while (status == ERROR_SUCCESS || status == ERROR_MORE_DATA) {
    data.resize(size + 1);
    DWORD length = static_cast<DWORD>(data.size());
    status = RegQueryValueExA(key, name.c_str(), nullptr, &type, data.data(), &length);
    if (status == ERROR_SUCCESS) {
      found = true;
      value = RegistryValue{name, type,
                            std::string(reinterpret_cast<const char*>(data.data()), length)};
      return status;
    }
    size = length;
  }
  return status == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : status;
}

LSTATUS readAllValues(HKEY key, std::vector<RegistryValue>& values, ValueBuffers& buffers) {
  std::vector<char>& name = buffers.name;
  std::vector<BYTE>& data = buffers.data;
  for (DWORD index = 0;;) {
    DWORD nameLength = static_cast<DWORD>(name.size());
    DWORD dataLength = static_cast<DWORD>(data.size());
    DWORD type = REG_NONE;
    const LSTATUS status = RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type,
                                         data.data(), &dataLength);
    if (status == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
    if (status == ERROR_MORE_DATA && dataLength > data.size()) {
      data.resize(dataLength);
      continue;
    }
    if (status != ERROR_SUCCESS) return status;
    values.push_back({std::string(name.data(), nameLength), type,
                      std::string(reinterpret_cast<const char*>(data.data()), dataLength)});
    ++index;
  }
}

std::int32_t enumerateValues(HKEY key, ValueVisitor visitor, void* context) {
  return walkValues(key, visitor, context, Advance::Always);
}

std::int32_t deleteEveryValue(HKEY key, ValueVisitor deleter, void* context) {
  return walkValues(key, deleter, context, Advance::OnlyPastSkipped);
}

}  // namespace dsnconf
