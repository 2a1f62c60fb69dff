// The process's one emulated registry, made at its first use, and the lock
// every registry function holds while it works on it.
#include <cstddef>
#include <memory>
#include <mutex>

#include "registry/api/registry.h"
#include "registry/api/registry_state.h"
#include "registry/store/hive.h"

namespace dsnconf::posix {

namespace {

std::unique_ptr<Registry> registryInstance;

}  // namespace

std::mutex registryMutex;

Registry& registry() {
  if (!registryInstance) {
    registryInstance = std::make_unique<Registry>();
    if (registryInstance->config().folderMissing) {
      reportMissingFolder(registryInstance->config().directory);
    }
  }
  return *registryInstance;
}

const RegistryConfig& registryConfig() {
  std::lock_guard<std::mutex> lock(registryMutex);
  return registry().config();
}

void resetRegistryForTests() {
  std::lock_guard<std::mutex> lock(registryMutex);
  registryInstance.reset();
}

void setJournalLimitForTests(std::size_t bytes) {
  Hive::setJournalLimit(bytes);
}

}  // namespace dsnconf::posix
