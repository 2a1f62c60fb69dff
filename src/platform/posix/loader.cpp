// LoadLibraryA, GetProcAddress and GetModuleFileNameW over the dynamic linker.
//
// The ODBC installer, odbccp32.dll on Windows, is our own odbccp32.so here. It
// is found as Windows finds a DLL: beside the program first, then along the
// dynamic linker's search path. The environment variable DSNCONF_INSTALLER
// names another library to bind in its place.
#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <string>

#include "library_loads.h"
#include "wide_text.h"
#include "win32.h"

namespace {

std::size_t loadLibraryCalls = 0;

bool equalsIgnoringCase(const char* left, const char* right) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  for (; *left != '\0' && *right != '\0'; ++left, ++right) {
    if (lower(*left) != lower(*right)) return false;
  }
  return *left == *right;
}

std::string programPath() {
  std::string path(256, '\0');
  for (;;) {
    const ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < path.size()) {
      path.resize(static_cast<std::size_t>(length));
      return path;
    }
    path.resize(path.size() * 2);
  }
}

std::string programFolder() {
  const std::string path = programPath();
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

HMODULE open(const std::string& file) {
  return static_cast<HMODULE>(dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL));
}

HMODULE openInstaller() {
  const char* replacement = std::getenv("DSNCONF_INSTALLER");
  if (replacement != nullptr && *replacement != '\0') return open(replacement);
  const std::string besideProgram = programFolder() + "/odbccp32.so";
  if (access(besideProgram.c_str(), F_OK) == 0) return open(besideProgram);
  return open("odbccp32.so");
}

const link_map* linkMapOf(HMODULE module) {
  link_map* map = nullptr;
  return dlinfo(module, RTLD_DI_LINKMAP, &map) == 0 ? map : nullptr;
}

// The file a module was loaded from, made absolute as Windows reports it.
std::string moduleFile(HMODULE module) {
  const link_map* map = linkMapOf(module);
  if (map == nullptr) return {};
  // The program itself has an empty name in the dynamic linker's list.
  if (map->l_name == nullptr || *map->l_name == '\0') return programPath();
  char* resolved = realpath(map->l_name, nullptr);
  if (resolved == nullptr) return map->l_name;
  std::string file = resolved;
  std::free(resolved);
  return file;
}

}  // namespace

namespace dsnconf {

std::size_t loadLibraryCallCount() {
  return loadLibraryCalls;
}

}  // namespace dsnconf

HMODULE LoadLibraryA(LPCSTR fileName) {
  ++loadLibraryCalls;
  if (fileName == nullptr) return nullptr;
  if (equalsIgnoringCase(fileName, "odbccp32.dll")) return openInstaller();
  return open(fileName);
}

// Only the module's own exports count, as on Windows: the dynamic linker would
// also find a name among the libraries that the module depends on.
FARPROC GetProcAddress(HMODULE module, LPCSTR procName) {
  if (module == nullptr || procName == nullptr) return nullptr;
  void* symbol = dlsym(module, procName);
  if (symbol == nullptr) return nullptr;
  Dl_info info;
  link_map* owner = nullptr;
  if (dladdr1(symbol, &info, reinterpret_cast<void**>(&owner), RTLD_DL_LINKMAP) == 0 ||
      owner != linkMapOf(module)) {
    return nullptr;
  }
  return reinterpret_cast<FARPROC>(symbol);
}

// Copies at most size - 1 characters and a terminator. A cut path gives the
// result `size`, as Windows does; a module that cannot be named gives 0.
DWORD GetModuleFileNameW(HMODULE module, LPWSTR fileName, DWORD size) {
  if (fileName == nullptr || size == 0) return 0;
  const std::wstring path =
      dsnconf::fromUtf8(module == nullptr ? programPath() : moduleFile(module));
  if (path.empty()) {
    fileName[0] = L'\0';
    return 0;
  }
  const std::size_t copied = std::min<std::size_t>(path.size(), size - 1);
  std::copy_n(path.begin(), copied, fileName);
  fileName[copied] = L'\0';
  return copied < path.size() ? size : static_cast<DWORD>(copied);
}
