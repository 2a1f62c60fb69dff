// What the emulated registry takes from the process's environment: where the
// hive files are, and what Windows would decide for the process.
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "registry/api/registry_state.h"

namespace dsnconf::posix {

RegistryConfig readRegistryConfig() {
  RegistryConfig config;
  const char* folder = std::getenv("DSNCONF_REGISTRY");
  if (folder != nullptr && *folder != '\0') {
    config.directory = folder;
  } else {
    const char* home = std::getenv("HOME");
    if (home == nullptr || *home == '\0') {
      const passwd* user = ::getpwuid(::geteuid());
      home = user != nullptr ? user->pw_dir : "";
    }
    config.directory = std::string(home) + "/.dsnconf/registry";
  }
  while (config.directory.size() > 1 && config.directory.back() == '/') {
    config.directory.pop_back();
  }
  // Only a folder that is not there at all reads as an empty registry; any
  // other trouble with it fails the hive's first read, which reports it.
  struct stat status {};
  config.folderMissing = folder != nullptr && *folder != '\0' &&
                         ::stat(config.directory.c_str(), &status) != 0 && errno == ENOENT;
  const char* wow64 = std::getenv("DSNCONF_WOW64");
  config.wow64 = !(wow64 != nullptr && std::strcmp(wow64, "0") == 0);
  const char* elevated = std::getenv("DSNCONF_ELEVATED");
  if (elevated != nullptr && std::strcmp(elevated, "1") == 0) {
    config.elevated = true;
  } else if (elevated != nullptr && std::strcmp(elevated, "0") == 0) {
    config.elevated = false;
  } else {
    config.elevated = ::geteuid() == 0;
  }
  return config;
}

void reportMissingFolder(const std::string& directory) {
  std::fprintf(stderr, "dsnconf: registry folder %s does not exist: it reads as an empty registry\n",
               directory.c_str());
  std::fflush(stderr);
}

}  // namespace dsnconf::posix
