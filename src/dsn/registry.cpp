#include "dsn/registry.h"

#include <algorithm>
#include <string>

#include "cli/output.h"

namespace dsnconf {

const RegistryPlace kDataSourcePlaces[3] = {
    {HKEY_CURRENT_USER, KEY_ALL_ACCESS},
    {HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS | KEY_WOW64_64KEY},
    {HKEY_LOCAL_MACHINE, KEY_ALL_ACCESS | KEY_WOW64_32KEY},
};

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

bool openDsnKey(const char* name, RegKeyHolder& key) {
  const std::string subKey = std::string(kOdbcIniPath) + "\\" + name;
  for (const RegistryPlace& place : kDataSourcePlaces) {
    if (RegOpenKeyExA(place.root, subKey.c_str(), 0, place.access, key.receive()) ==
        ERROR_SUCCESS) {
      return true;
    }
    key.clearAfterFailure();
  }
  printLine(std::string("*** Could not access the ") + name + " ***");
  printAdministratorHint();
  return false;
}

std::int32_t enumerateValues(HKEY key, ValueVisitor visitor, void* context) {
  return walkValues(key, visitor, context, Advance::Always);
}

std::int32_t deleteEveryValue(HKEY key, ValueVisitor deleter, void* context) {
  return walkValues(key, deleter, context, Advance::OnlyPastSkipped);
}

}  // namespace dsnconf
