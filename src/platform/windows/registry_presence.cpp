#include "platform/registry_presence.h"

namespace dsnconf {

// Windows always has its registry.
std::optional<std::string> missingRegistryFolder() {
  return std::nullopt;
}

}  // namespace dsnconf
