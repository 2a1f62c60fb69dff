#include "dsn_file_path.h"

#include <cstring>
#include <memory>

#include "win32.h"

namespace dsnconf::odbccp {
namespace {

struct KeyCloser {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using KeyHolder = std::unique_ptr<HKEY__, KeyCloser>;

bool endsWithDsnExtension(const std::string& name) {
  static const char kExtension[] = ".dsn";
  constexpr std::size_t kLength = sizeof kExtension - 1;
  if (name.size() < kLength) return false;
  for (std::size_t i = 0; i < kLength; ++i) {
    char c = name[name.size() - kLength + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExtension[i]) return false;
  }
  return true;
}

// The installer of a 32-bit program reads the 32-bit view of the machine tree.
std::string defaultDsnFolder() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC File DSN", 0,
                    KEY_QUERY_VALUE | KEY_WOW64_32KEY, &opened) != ERROR_SUCCESS) {
    return {};
  }
  const KeyHolder key(opened);
  DWORD size = 0;
  if (RegGetValueA(key.get(), nullptr, "DefaultDSNDir", RRF_RT_REG_SZ, nullptr, nullptr, &size) !=
          ERROR_SUCCESS ||
      size == 0) {
    return {};
  }
  std::string folder(size, '\0');
  if (RegGetValueA(key.get(), nullptr, "DefaultDSNDir", RRF_RT_REG_SZ, nullptr, folder.data(),
                   &size) != ERROR_SUCCESS) {
    return {};
  }
  folder.resize(std::strlen(folder.c_str()));
  return folder;
}

}  // namespace

std::string resolveDsnFilePath(const char* name) {
  if (name == nullptr || *name == '\0') return {};
  std::string path = name;
  if (!endsWithDsnExtension(path)) path += ".dsn";
  if (path.front() == '/') return path;
  const std::string folder = defaultDsnFolder();
  if (folder.empty()) return path;
  return folder.back() == '/' ? folder + path : folder + "/" + path;
}

}  // namespace dsnconf::odbccp
