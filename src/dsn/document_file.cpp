#include "dsn/document_file.h"

namespace dsnconf {

DocumentFile::~DocumentFile() {
  discard();
}

DocumentWrite DocumentFile::start(const std::string& file, bool replace, bool ownerOnly) {
  discard();
  if (!replace && fileExists(file)) return DocumentWrite::Exists;
  file_ = file;
  temporary_ = file + ".tmp";
  replace_ = replace;
  if (out_.open(temporary_, ownerOnly)) return DocumentWrite::Ready;
  discard();
  return DocumentWrite::Failed;
}

bool DocumentFile::append(std::string_view bytes) {
  return out_.write(bytes);
}

DocumentWrite DocumentFile::commit() {
  if (temporary_.empty()) return DocumentWrite::Failed;
  if (!out_.close()) {
    discard();
    return DocumentWrite::Failed;
  }
  const PlaceFileResult placed = placeFile(temporary_, file_, replace_);
  if (placed == PlaceFileResult::Placed) {
    temporary_.clear();
    return DocumentWrite::Written;
  }
  discard();
  return placed == PlaceFileResult::TargetExists ? DocumentWrite::Exists : DocumentWrite::Failed;
}

void DocumentFile::discard() {
  out_.close();
  if (!temporary_.empty()) removeFile(temporary_);
  temporary_.clear();
}

DocumentWrite writeDocument(const std::string& file, std::string_view bytes, bool replace,
                            bool ownerOnly) {
  DocumentFile document;
  const DocumentWrite started = document.start(file, replace, ownerOnly);
  if (started != DocumentWrite::Ready) return started;
  if (!document.append(bytes)) return DocumentWrite::Failed;
  return document.commit();
}

}  // namespace dsnconf
