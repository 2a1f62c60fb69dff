// MessageBoxW on a system without a desktop: the box becomes one line on
// standard error, read by the person at the console, and is "closed" at once.
#include <cstdio>
#include <string>

#include "wide_text.h"
#include "win32.h"

int MessageBoxW(HWND /*owner*/, LPCWSTR text, LPCWSTR caption, UINT /*type*/) {
  // Windows titles a box without a caption "Error".
  const std::string line = dsnconf::toUtf8(caption != nullptr ? caption : L"Error") + ": " +
                           dsnconf::toUtf8(text != nullptr ? text : L"") + "\n";
  std::fwrite(line.data(), 1, line.size(), stderr);
  std::fflush(stderr);
  return IDOK;
}
