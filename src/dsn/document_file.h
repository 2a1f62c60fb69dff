// A document written to a file whole or not at all: first to a temporary
// file beside it, then moved into place in one step.
#pragma once

#include <string>

namespace dsnconf {

enum class DocumentWrite { Written, Exists, Failed };

// An existing file is replaced only with `replace`; with `ownerOnly` the
// file is readable and writable by its owner only (on POSIX), as a file that
// may hold passwords should be.
DocumentWrite writeDocument(const std::string& file, const std::string& bytes, bool replace,
                            bool ownerOnly);

}  // namespace dsnconf
