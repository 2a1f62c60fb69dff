// Settings of the emulated registry, and the hooks tests use to start afresh.
#pragma once

#include <cstddef>
#include <string>

namespace dsnconf::posix {

struct RegistryConfig {
  // The folder of the hive files: $DSNCONF_REGISTRY, else ~/.dsnconf/registry.
  std::string directory;
  // DSNCONF_REGISTRY names a folder that does not exist: every read finds an
  // empty registry, which is likely a mistyped name. The default folder is
  // made by the first change, so before that its absence is no mistake.
  bool folderMissing = false;
  // A 32-bit program on 64-bit Windows: HKEY_LOCAL_MACHINE\SOFTWARE has a
  // 64-bit and a 32-bit view. DSNCONF_WOW64=0 makes it 32-bit Windows, with
  // one view that both view flags address.
  bool wow64 = true;
  // Whether the process may change HKEY_LOCAL_MACHINE: when its effective
  // user is root, unless DSNCONF_ELEVATED is "1" or "0".
  bool elevated = false;
};

// The settings as the environment gives them now.
RegistryConfig readRegistryConfig();

// The settings, read from the environment at the registry's first use.
const RegistryConfig& registryConfig();

// The one line on stderr, at the registry's first use, for a registry folder
// that DSNCONF_REGISTRY names and that does not exist.
void reportMissingFolder(const std::string& directory);

// Forgets every loaded hive, open key handle and setting, so that the next
// call reads the environment and the files again.
void resetRegistryForTests();

// Lets tests make the journal rewrite the hive file after fewer bytes.
void setJournalLimitForTests(std::size_t bytes);

}  // namespace dsnconf::posix
