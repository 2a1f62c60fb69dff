// Whole-file reads and replacement of file data sources through the Win32 file
// API, in place of the installer's POSIX file_io.cpp, for the installer built
// as a Windows DLL for the Wine stage. Failures are reported as the errno
// values that the installer maps to its error codes.
#include <windows.h>

#include <cerrno>
#include <string>

#include "file_io.h"

namespace dsnconf::odbccp {
namespace {

// Owns one file handle.
class FileHandle {
 public:
  explicit FileHandle(HANDLE handle) : handle_(handle) {}
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle() {
    if (valid()) CloseHandle(handle_);
  }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE; }
  HANDLE get() const { return handle_; }
  // Closes now, so that a failure to close can be seen.
  bool close() {
    const bool closed = CloseHandle(handle_) != 0;
    handle_ = INVALID_HANDLE_VALUE;
    return closed;
  }

 private:
  HANDLE handle_;
};

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_INVALID_DRIVE:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
      return EACCES;
    default:
      return EIO;
  }
}

// 0 when `path` is missing or a file, EISDIR for a folder.
int folderError(const std::string& path) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0
             ? EISDIR
             : 0;
}

}  // namespace

FileContent readWholeFile(const std::string& path) {
  FileContent content;
  content.error = folderError(path);
  if (content.error != 0) return content;
  const FileHandle file(CreateFileA(path.c_str(), GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    content.error = errnoOf(GetLastError());
    return content;
  }
  char chunk[4096];
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) {
      content.error = errnoOf(GetLastError());
      content.bytes.clear();
      return content;
    }
    if (read == 0) return content;
    content.bytes.append(chunk, read);
  }
}

// Written beside the file under a name of its own, then moved over it, so that
// readers see either the old or the new content.
int replaceFile(const std::string& path, const std::string& bytes) {
  if (const int error = folderError(path); error != 0) return error;
  const std::string temporary = path + "." + std::to_string(GetCurrentProcessId()) + ".tmp";
  FileHandle file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return errnoOf(GetLastError());
  DWORD written = 0;
  const bool complete =
      WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size() && FlushFileBuffers(file.get());
  DWORD error = ERROR_SUCCESS;
  if (!complete) error = GetLastError() != ERROR_SUCCESS ? GetLastError() : ERROR_WRITE_FAULT;
  if (!file.close() && error == ERROR_SUCCESS) error = GetLastError();
  if (error == ERROR_SUCCESS && !MoveFileExA(temporary.c_str(), path.c_str(),
                                             MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = GetLastError();
  }
  if (error != ERROR_SUCCESS) {
    DeleteFileA(temporary.c_str());
    return errnoOf(error);
  }
  return 0;
}

}  // namespace dsnconf::odbccp
