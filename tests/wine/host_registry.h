// The registry trees that the case host reads and empties: the ODBC tree of
// the current user and of both views of the machine.
#pragma once

#include <windows.h>

#include <string>

namespace case_host {

struct Tree {
  HKEY root;
  REGSAM view;
  const char* shownAs;  // the tree's path in the 64-bit view, as .reg text names it
};

inline const Tree kTrees[] = {
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC"},
    {HKEY_CURRENT_USER, 0, "HKEY_CURRENT_USER\\SOFTWARE\\ODBC"},
};

// Key and value names are at most 255 and 16383 characters.
constexpr DWORD kKeyNameSize = 256;
constexpr DWORD kValueNameSize = 16384;

class Key {
 public:
  Key() = default;
  Key(const Key&) = delete;
  Key& operator=(const Key&) = delete;
  ~Key() {
    if (handle_ != nullptr) RegCloseKey(handle_);
  }
  HKEY* out() { return &handle_; }
  HKEY get() const { return handle_; }

 private:
  HKEY handle_ = nullptr;
};

// As our POSIX registry writes a quoted name: a line break as \r or \n, as
// Wine's regedit writes it (string data holding one goes out as hex).
inline std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\r' || c == '\n') {
      out += c == '\r' ? "\\r" : "\\n";
      continue;
    }
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace case_host
