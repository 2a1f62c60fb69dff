#include "platform/export_output.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "win32.h"

namespace dsnconf {

std::u16string codePageToUtf16(const std::string& text) {
  if (text.empty()) return {};
  const int length = static_cast<int>(text.size());
  const int units = MultiByteToWideChar(CP_ACP, 0, text.data(), length, nullptr, 0);
  if (units <= 0) return std::u16string(text.size(), u'\xFFFD');
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), length, wide.data(), units);
  return std::u16string(wide.begin(), wide.end());
}

// The C runtime's text mode would turn every LF written into CRLF.
void useBinaryStandardOutput() {
  std::fflush(stdout);
  _setmode(_fileno(stdout), _O_BINARY);
}

PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace) {
  const DWORD flags = replace ? MOVEFILE_REPLACE_EXISTING : 0;
  if (MoveFileExA(temporary.c_str(), target.c_str(), flags)) return PlaceFileResult::Placed;
  const DWORD error = GetLastError();
  return error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS ? PlaceFileResult::TargetExists
                                                                     : PlaceFileResult::Failed;
}

}  // namespace dsnconf
