// How often the program asked the loader for a library, for tests that check
// that a library, once loaded, is not looked for again.
#pragma once

#include <cstddef>

namespace dsnconf {

std::size_t loadLibraryCallCount();

}  // namespace dsnconf
