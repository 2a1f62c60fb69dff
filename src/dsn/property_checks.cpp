#include "dsn/property_checks.h"

#include <string_view>

#include "base/unicode.h"
#include "dsn/folded_names.h"
#include "dsn/passwords.h"
#include "platform/wide_registry.h"

namespace dsnconf {
namespace {

bool isDriverValue(const RegistryValue& value) {
  return FoldedNameEqual()(value.name, "Driver");
}

}  // namespace

std::vector<std::string> storedPasswords(const std::vector<RegistryValue>& values) {
  std::vector<std::string> names;
  for (const RegistryValue& value : values) {
    if (isPasswordProperty(value.name) && value.data.find_first_not_of('\0') != std::string::npos) {
      names.push_back(value.name);
    }
  }
  return names;
}

std::size_t ansiDataLength(const RegistryValue& value) {
  return ansiLength(utf16ToWtf8(utf16LeUnits(value.data)));
}

bool fitsValueBuffer(const RegistryValue& value) {
  // A UTF-16 code unit is at most three bytes in any ANSI code page (and in
  // the UTF-8 of POSIX): most values fit without being converted.
  constexpr std::size_t kMostBytesPerUnit = 3;
  if (!isStringType(value.type) || value.data.size() / 2 * kMostBytesPerUnit <= kValueDataBuffer) {
    return true;
  }
  return ansiDataLength(value) <= kValueDataBuffer;
}

std::vector<PropertyDifference> propertyDifferences(const std::vector<RegistryValue>& wanted,
                                                    const std::vector<RegistryValue>& current) {
  FoldedNameMap<const RegistryValue*> currentByName;
  for (const RegistryValue& value : current) {
    if (!isDriverValue(value)) currentByName.emplace(value.name, &value);
  }
  std::vector<PropertyDifference> differences;
  FoldedNameMap<bool> wantedNames;
  for (const RegistryValue& value : wanted) {
    if (isDriverValue(value)) continue;
    wantedNames.emplace(value.name, true);
    const auto found = currentByName.find(value.name);
    const RegistryValue* now = found == currentByName.end() ? nullptr : found->second;
    if (!now || now->type != value.type || now->data != value.data) {
      differences.push_back({&value, now});
    }
  }
  for (const RegistryValue& value : current) {
    if (!isDriverValue(value) && wantedNames.count(value.name) == 0) {
      differences.push_back({nullptr, &value});
    }
  }
  return differences;
}

namespace {

// FNV-1a over the bytes, then a finaliser that spreads them over all 64 bits,
// so that the digest's sum of many values keeps their differences. Names are
// folded as propertyDifferences compares them.
std::uint64_t hashBytes(std::uint64_t hash, std::string_view bytes, bool folded = false) {
  for (const char byte : bytes) {
    hash ^= static_cast<unsigned char>(folded ? foldedChar(byte) : byte);
    hash *= 0x100000001b3ULL;
  }
  return hash;
}

std::uint64_t mixed(std::uint64_t hash) {
  hash ^= hash >> 33;
  hash *= 0xff51afd7ed558ccdULL;
  hash ^= hash >> 33;
  hash *= 0xc4ceb9fe1a85ec53ULL;
  return hash ^ (hash >> 33);
}

}  // namespace

PropertiesDigest digestOf(const std::vector<RegistryValue>& values) {
  PropertiesDigest digest;
  for (const RegistryValue& value : values) {
    if (isDriverValue(value)) continue;
    std::uint64_t hash = hashBytes(0xcbf29ce484222325ULL, value.name, true);
    const char type[] = {
        '\0', static_cast<char>(value.type & 0xFF), static_cast<char>((value.type >> 8) & 0xFF),
        static_cast<char>((value.type >> 16) & 0xFF), static_cast<char>(value.type >> 24)};
    hash = hashBytes(hash, std::string_view(type, sizeof type));
    hash = hashBytes(hash, value.data);
    digest.sum += mixed(hash);
    ++digest.count;
  }
  return digest;
}

}  // namespace dsnconf
