#include "dsn/document_file.h"

#include "platform/text_io.h"

namespace dsnconf {

DocumentWrite writeDocument(const std::string& file, const std::string& bytes, bool replace,
                            bool ownerOnly) {
  if (!replace && fileExists(file)) return DocumentWrite::Exists;
  const std::string temporary = file + ".tmp";
  if (!writeWholeFile(temporary, bytes, ownerOnly)) {
    removeFile(temporary);
    return DocumentWrite::Failed;
  }
  const PlaceFileResult placed = placeFile(temporary, file, replace);
  if (placed != PlaceFileResult::Placed) removeFile(temporary);
  if (placed == PlaceFileResult::TargetExists) return DocumentWrite::Exists;
  return placed == PlaceFileResult::Placed ? DocumentWrite::Written : DocumentWrite::Failed;
}

}  // namespace dsnconf
