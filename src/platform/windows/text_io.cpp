#include "platform/text_io.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

#include "base/command_line_split.h"
#include "base/unicode.h"
#include "win32.h"

namespace dsnconf {
namespace {

// Where a console is standard output, the handle to write UTF-16 to it;
// null for a pipe or a file.
HANDLE standardConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode) ? output : nullptr;
}

}  // namespace

std::wstring wideText(const std::string& text) {
  const std::u16string units = wtf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

std::vector<std::string> textArguments(int, char**) {
  const wchar_t* line = GetCommandLineW();
  std::u16string units(line, line + wcslen(line));
  std::vector<std::string> arguments;
  for (const std::u16string& argument : splitCommandLine(units)) {
    arguments.push_back(utf16ToWtf8(argument));
  }
  arguments.erase(arguments.begin());
  return arguments;
}

bool writeText(std::string_view text) {
  std::fflush(stdout);
  if (const HANDLE console = standardConsole()) {
    std::u16string units;
    for (const char16_t unit : wtf8ToUtf16(text)) {
      if (unit == u'\n') units += u'\r';
      units += unit;
    }
    DWORD written = 0;
    return WriteConsoleW(console, units.data(), static_cast<DWORD>(units.size()), &written,
                         nullptr) != 0;
  }
  // A pipe or a file gets UTF-8: a surrogate without its pair has no UTF-8
  // and is written as U+FFFD.
  const std::string bytes = utf16ToUtf8(wtf8ToUtf16(text));
  const bool written = std::fwrite(bytes.data(), 1, bytes.size(), stdout) == bytes.size();
  return std::fflush(stdout) == 0 && written;
}

void printText(std::string_view line) {
  writeText(std::string(line) + "\n");
}

// The C runtime's text mode would turn every LF written into CRLF.
void useBinaryStandardOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  std::FILE* file = _wfopen(wideText(path).c_str(), L"rb");
  if (!file) return false;
  bytes.clear();
  // Room for the whole file at once: grown by doubling, a file of tens of
  // megabytes would be held twice over while it is copied. A file too large
  // to hold is left to fail as it is read.
  constexpr long long kLargestReserve = 1LL << 30;
  struct _stat64 st {};
  if (_fstat64(_fileno(file), &st) == 0 && (st.st_mode & _S_IFREG) != 0 &&
      st.st_size < kLargestReserve) {
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
  return GetFileAttributesW(wideText(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeFile(const std::string& path) {
  DeleteFileW(wideText(path).c_str());
}

bool OutputFile::open(const std::string& path, bool) {
  close();
  failed_ = false;
  file_ = _wfopen(wideText(path).c_str(), L"wb");
  return file_ != nullptr;
}

PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace) {
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExW(wideText(temporary).c_str(), wideText(target).c_str(), flags)) {
    return PlaceFileResult::Placed;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceFileResult::TargetExists
                                                                     : PlaceFileResult::Failed;
}

}  // namespace dsnconf
