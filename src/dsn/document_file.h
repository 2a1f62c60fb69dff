// A document written to a file whole or not at all: written piece by piece
// to a temporary file beside it, then moved into place in one step.
#pragma once

#include <string>
#include <string_view>

#include "platform/text_io.h"

namespace dsnconf {

// Ready: started, to be appended to and committed.
enum class DocumentWrite { Ready, Written, Exists, Failed };

class DocumentFile {
 public:
  DocumentFile() = default;
  // A document never committed leaves nothing behind.
  ~DocumentFile();
  DocumentFile(const DocumentFile&) = delete;
  DocumentFile& operator=(const DocumentFile&) = delete;

  // Starts `<file>.tmp`. An existing file is replaced only with `replace`
  // (Exists otherwise); with `ownerOnly` the file is readable and writable by
  // its owner only (on POSIX), as a file that may hold passwords should be.
  DocumentWrite start(const std::string& file, bool replace, bool ownerOnly);
  // False once any piece could not be written; commit() then fails.
  bool append(std::string_view bytes);
  // Moves the finished document into place.
  DocumentWrite commit();

 private:
  void discard();

  std::string file_;
  std::string temporary_;
  bool replace_ = false;
  OutputFile out_;
};

// A document held whole in memory, written as DocumentFile writes one.
DocumentWrite writeDocument(const std::string& file, std::string_view bytes, bool replace,
                            bool ownerOnly);

}  // namespace dsnconf
