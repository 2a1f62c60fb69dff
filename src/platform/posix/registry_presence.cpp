#include "platform/registry_presence.h"

#include "registry/api/registry_state.h"

namespace dsnconf {

std::optional<std::string> missingRegistryFolder() {
  const posix::RegistryConfig& config = posix::registryConfig();
  if (!config.folderMissing) return std::nullopt;
  return config.directory;
}

}  // namespace dsnconf
