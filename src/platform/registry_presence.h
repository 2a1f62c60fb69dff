// Whether the program has a registry to read at all.
#pragma once

#include <optional>
#include <string>

namespace dsnconf {

// The folder that DSNCONF_REGISTRY names where it does not exist: the Linux
// build then reads an empty registry, which says nothing of any machine.
// Nothing where there is a registry, as there always is on Windows.
std::optional<std::string> missingRegistryFolder();

}  // namespace dsnconf
