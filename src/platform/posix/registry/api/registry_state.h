// Settings of the emulated registry, and the hooks tests use to start afresh.
#pragma once

#include <cstddef>
#include <string>

namespace dsnconf::posix {

struct RegistryConfig {
  // The folder of the hive files: $DSNCONF_REGISTRY, else ~/.dsnconf/registry.
  std::string directory;
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

// Forgets every loaded hive, open key handle and setting, so that the next
// call reads the environment and the files again.
void resetRegistryForTests();

// Lets tests make the journal rewrite the hive file after fewer bytes.
void setJournalLimitForTests(std::size_t bytes);

}  // namespace dsnconf::posix
