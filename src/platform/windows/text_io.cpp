#include "platform/text_io.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "base/command_line_split.h"
#include "base/unicode.h"
#include "win32.h"

namespace dsnconf {
namespace {

std::wstring wide(const std::string& text) {
  const std::u16string units = wtf8ToUtf16(text);
  return std::wstring(units.begin(), units.end());
}

// Where a console is standard output, the handle to write UTF-16 to it;
// null for a pipe or a file.
HANDLE standardConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  return output != INVALID_HANDLE_VALUE && GetConsoleMode(output, &mode) ? output : nullptr;
}

}  // namespace

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

void printText(std::string_view line) {
  std::fflush(stdout);
  if (const HANDLE console = standardConsole()) {
    std::u16string units = wtf8ToUtf16(line);
    units += u"\r\n";
    DWORD written = 0;
    WriteConsoleW(console, units.data(), static_cast<DWORD>(units.size()), &written, nullptr);
    return;
  }
  // A pipe or a file gets UTF-8: a surrogate without its pair has no UTF-8
  // and is written as U+FFFD.
  const std::string bytes = utf16ToUtf8(wtf8ToUtf16(line));
  std::fwrite(bytes.data(), 1, bytes.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

// The C runtime's text mode would turn every LF written into CRLF.
void useBinaryStandardOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

bool readWholeFile(const std::string& path, std::string& bytes) {
  std::FILE* file = _wfopen(wide(path).c_str(), L"rb");
  if (!file) return false;
  bytes.clear();
  char buffer[65536];
  for (std::size_t read; (read = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    bytes.append(buffer, read);
  }
  const bool complete = !std::ferror(file);
  std::fclose(file);
  return complete;
}

bool fileExists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void removeFile(const std::string& path) {
  DeleteFileW(wide(path).c_str());
}

bool writeWholeFile(const std::string& path, const std::string& bytes, bool) {
  std::FILE* file = _wfopen(wide(path).c_str(), L"wb");
  if (!file) return false;
  const bool written =
      std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size() && std::fflush(file) == 0;
  return std::fclose(file) == 0 && written;
}

PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace) {
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExW(wide(temporary).c_str(), wide(target).c_str(), flags)) {
    return PlaceFileResult::Placed;
  }
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceFileResult::TargetExists
                                                                     : PlaceFileResult::Failed;
}

std::u16string codePageToUtf16(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return std::u16string(text.size(), u'\xFFFD');
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace dsnconf
