#include "dsn/file_dsns.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "dsn/family.h"
#include "platform/odbc_installer.h"

namespace dsnconf {
namespace {

// The buffer DRIVER is read into, as name reads it.
constexpr WORD kDriverNameBuffer = 1024;

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

}  // namespace

std::vector<FileDataSource> readFamilyFileDataSources(const std::string& folder) {
  std::vector<FileDataSource> files;
  if (folder.empty()) return files;
  for (const std::string& name : dsnFileNames(folder)) {
    char driver[kDriverNameBuffer + 1] = {};
    if (!SQLReadFileDSN(name.c_str(), "ODBC", "DRIVER", driver, kDriverNameBuffer, nullptr)) {
      continue;
    }
    if (isKnownDriverName(driver)) files.push_back({name, driver});
  }
  return files;
}

}  // namespace dsnconf
