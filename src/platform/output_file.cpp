// What writing a file piece by piece is alike on every platform; opening it
// is each platform's own (text_io.cpp).
#include "platform/text_io.h"

namespace dsnconf {

OutputFile::~OutputFile() {
  close();
}

bool OutputFile::write(std::string_view bytes) {
  if (!file_ || failed_) return false;
  failed_ = std::fwrite(bytes.data(), 1, bytes.size(), file_) != bytes.size();
  return !failed_;
}

bool OutputFile::close() {
  if (!file_) return false;
  const bool flushed = std::fflush(file_) == 0;
  const bool closed = std::fclose(file_) == 0;
  file_ = nullptr;
  return flushed && closed && !failed_;
}

}  // namespace dsnconf
