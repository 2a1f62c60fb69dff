#include "platform/text_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/unicode.h"
#include "native_text.h"
#include "wide_text.h"

namespace dsnconf {

std::vector<std::string> textArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 1; i < argc; ++i) arguments.push_back(textOf(argv[i]));
  return arguments;
}

std::wstring wideText(const std::string& text) {
  return fromUtf8(nativeBytes(text));
}

namespace {

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Text as the terminal's bytes, unflushed; ASCII, most of what is printed,
// is its own bytes.
bool putText(std::string_view text) {
  if (isAscii(text)) return std::fwrite(text.data(), 1, text.size(), stdout) == text.size();
  const std::string bytes = nativeBytes(std::string(text));
  return std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
}

}  // namespace

bool writeText(std::string_view text) {
  const bool written = putText(text);
  return std::fflush(stdout) == 0 && written;
}

void printText(std::string_view line) {
  putText(line);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// Standard output is binary here already.
void useBinaryStandardOutput() {}

bool readWholeFile(const std::string& path, std::string& bytes) {
  std::FILE* file = std::fopen(nativeBytes(path).c_str(), "rb");
  if (!file) return false;
  bytes.clear();
  // Room for the whole file at once: grown by doubling, a file of tens of
  // megabytes would be held twice over while it is copied. A file too large
  // to hold is left to fail as it is read.
  constexpr long long kLargestReserve = 1LL << 30;
  struct stat st {};
  if (::fstat(fileno(file), &st) == 0 && S_ISREG(st.st_mode) && st.st_size < kLargestReserve) {
    bytes.reserve(static_cast<std::size_t>(st.st_size));
  }
  char buffer[65536];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    bytes.append(buffer, read);
  }
  const bool complete = !std::ferror(file);
  std::fclose(file);
  return complete;
}

bool fileExists(const std::string& path) {
  return access(nativeBytes(path).c_str(), F_OK) == 0;
}

void removeFile(const std::string& path) {
  unlink(nativeBytes(path).c_str());
}

bool OutputFile::open(const std::string& path, bool ownerOnly) {
  close();
  failed_ = false;
  const int descriptor = ::open(nativeBytes(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                                ownerOnly ? S_IRUSR | S_IWUSR : 0666);
  if (descriptor < 0) return false;
  // An existing file keeps its mode through O_TRUNC: set it as asked.
  if (ownerOnly && fchmod(descriptor, S_IRUSR | S_IWUSR) != 0) {
    ::close(descriptor);
    return false;
  }
  file_ = fdopen(descriptor, "wb");
  if (!file_) ::close(descriptor);
  return file_ != nullptr;
}

PlaceFileResult placeFile(const std::string& temporaryText, const std::string& targetText,
                          bool replace) {
  const std::string temporary = nativeBytes(temporaryText);
  const std::string target = nativeBytes(targetText);
  if (replace) {
    return std::rename(temporary.c_str(), target.c_str()) == 0 ? PlaceFileResult::Placed
                                                               : PlaceFileResult::Failed;
  }
  // A hard link is made only where no file is: no window in which another
  // process's file could be replaced.
  if (link(temporary.c_str(), target.c_str()) != 0) {
    if (errno == EEXIST) return PlaceFileResult::TargetExists;
    // A file system without hard links (FAT, some network mounts): look, then rename.
    if (errno != EPERM && errno != EOPNOTSUPP && errno != ENOSYS) return PlaceFileResult::Failed;
    if (access(target.c_str(), F_OK) == 0) return PlaceFileResult::TargetExists;
    return std::rename(temporary.c_str(), target.c_str()) == 0 ? PlaceFileResult::Placed
                                                               : PlaceFileResult::Failed;
  }
  unlink(temporary.c_str());
  return PlaceFileResult::Placed;
}

}  // namespace dsnconf
