#include "dsn/file_dsns.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "dsn/family.h"
#include "dsn/passwords.h"
#include "dsn/target.h"
#include "platform/odbc_installer.h"

namespace dsnconf {
namespace {

// The buffer DRIVER is read into, as name reads it.
constexpr WORD kDriverNameBuffer = 1024;
// Room for the names of a section's keys.
constexpr WORD kKeyListBuffer = 32767;

bool hasDsnExtension(const std::string& name) {
  static const char kExtension[] = ".dsn";
  constexpr std::size_t kLength = sizeof kExtension - 1;
  if (name.size() <= kLength) return false;
  for (std::size_t i = 0; i < kLength; ++i) {
    char c = name[name.size() - kLength + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExtension[i]) return false;
  }
  return true;
}

std::vector<std::string> dsnFileNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return names;
  for (const std::filesystem::directory_entry& entry : entries) {
    std::error_code typeError;
    if (!entry.is_regular_file(typeError)) continue;
    const std::string name = entry.path().filename().string();
    if (hasDsnExtension(name)) names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The keys of the file's [ODBC] section that hold a password that is not
// empty. The installer lists the keys separated by ';'; a value is not empty
// when its first character arrives, whether or not the rest fits.
std::vector<std::string> passwordKeys(const std::string& name) {
  std::vector<char> keyList(kKeyListBuffer + 1, '\0');
  std::vector<std::string> keys;
  SQLReadFileDSN(name.c_str(), "ODBC", nullptr, keyList.data(), kKeyListBuffer, nullptr);
  const std::string list = keyList.data();
  for (std::size_t start = 0; start < list.size();) {
    std::size_t end = list.find(';', start);
    if (end == std::string::npos) end = list.size();
    const std::string key = list.substr(start, end - start);
    start = end + 1;
    if (!isPasswordProperty(key)) continue;
    char first[2] = {};
    SQLReadFileDSN(name.c_str(), "ODBC", key.c_str(), first, sizeof first, nullptr);
    if (first[0] != '\0') keys.push_back(key);
  }
  return keys;
}

}  // namespace

std::vector<FileDataSource> readFamilyFileDataSources(const std::string& folder) {
  std::vector<FileDataSource> files;
  if (folder.empty()) return files;
  for (const std::string& name : dsnFileNames(folder)) {
    char driver[kDriverNameBuffer + 1] = {};
    if (!SQLReadFileDSN(name.c_str(), "ODBC", "DRIVER", driver, kDriverNameBuffer, nullptr)) {
      continue;
    }
    if (!isKnownDriverName(driver)) continue;
    files.push_back({name, driver, passwordKeys(name), isReadableFileDsn(name.c_str())});
  }
  return files;
}

}  // namespace dsnconf
