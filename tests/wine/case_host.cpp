// Hosts one end-to-end case under Wine, in one Wine process where reg.exe
// would take several:
//
//   case-host.exe clear
//       empties the ODBC trees: HKCU\Software\ODBC and both views of
//       HKLM\Software\ODBC.
//   case-host.exe run SCRATCH PROGRAM [ARGUMENTS...]
//       runs the program, writes its whole 32-bit exit code to SCRATCH\exit-code
//       (a POSIX shell would see only its low 8 bits, so -1 and 255 would read
//       alike), writes the ODBC trees of each root as .reg text to
//       SCRATCH\HKEY_LOCAL_MACHINE.reg and SCRATCH\HKEY_CURRENT_USER.reg, and
//       empties the trees for the next case.
//   case-host.exe run-more SCRATCH PROGRAM [ARGUMENTS...]
//       the same, but leaves the trees as the program left them: a case of
//       several runs goes on over the same registry.
//
// The program gets this process's own command line less its first three
// words, exactly as Wine built it, so it parses the very arguments it would
// have got had it been started directly. SCRATCH holds no blank and no quote,
// which keeps that cut trivial.
//
// The registry is read through the ANSI functions, as the program reads it, so
// the .reg text holds the bytes that the program saw. run-unicode and
// run-more-unicode read it through the wide functions instead and write its
// text as UTF-8, for cases whose text is Unicode.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// ---- Command line.

bool isBlank(wchar_t c) {
  return c == L' ' || c == L'\t';
}

const wchar_t* skipBlanks(const wchar_t* text) {
  while (isBlank(*text)) ++text;
  return text;
}

// The first word of a command line follows the loader's rule for the program
// name: quotes group, nothing escapes.
const wchar_t* skipProgramName(const wchar_t* line) {
  bool quoted = false;
  for (; *line != L'\0'; ++line) {
    if (*line == L'"') {
      quoted = !quoted;
    } else if (isBlank(*line) && !quoted) {
      break;
    }
  }
  return skipBlanks(line);
}

// Takes one word without blanks or quotes off the front of `line`.
bool takePlainWord(const wchar_t*& line, std::wstring& word) {
  const wchar_t* end = line;
  while (*end != L'\0' && !isBlank(*end)) ++end;
  word.assign(line, end);
  line = skipBlanks(end);
  return !word.empty() && word.find(L'"') == std::wstring::npos;
}

// ---- Registry.

struct Tree {
  HKEY root;
  REGSAM view;
  const char* shownAs;  // the tree's path in the 64-bit view, as .reg text names it
};

const Tree kTrees[] = {
    {HKEY_LOCAL_MACHINE, KEY_WOW64_64KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC"},
    {HKEY_LOCAL_MACHINE, KEY_WOW64_32KEY, "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC"},
    {HKEY_CURRENT_USER, 0, "HKEY_CURRENT_USER\\SOFTWARE\\ODBC"},
};

// Key and value names are at most 255 and 16383 characters.
constexpr DWORD kKeyNameSize = 256;
constexpr DWORD kValueNameSize = 16384;
// .reg text wraps hex data after this many columns, as regedit does.
constexpr std::size_t kHexLineWidth = 76;

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

bool clearTree(const Tree& tree) {
  Key software;
  LONG result = RegOpenKeyExA(tree.root, "Software", 0, KEY_ALL_ACCESS | tree.view, software.out());
  // Deletes the key itself as well as everything beneath it.
  if (result == ERROR_SUCCESS) result = RegDeleteTreeA(software.get(), "ODBC");
  if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
    std::fprintf(stderr, "case-host: cannot clear %s: error %ld\n", tree.shownAs, result);
    return false;
  }
  return true;
}

bool clearTrees() {
  bool cleared = true;
  for (const Tree& tree : kTrees) cleared = clearTree(tree) && cleared;
  return cleared;
}

std::wstring widen(const std::string& text) {
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string utf8(const wchar_t* text, std::size_t size) {
  const int count = static_cast<int>(size);
  const int length = WideCharToMultiByte(CP_UTF8, 0, text, count, nullptr, 0, nullptr, nullptr);
  std::string bytes(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, count, bytes.data(), length, nullptr, nullptr);
  return bytes;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  return out + "\"";
}

void appendHex(std::string& line, std::string& out, const BYTE* data, DWORD size) {
  char byte[4];
  for (DWORD i = 0; i < size; ++i) {
    std::snprintf(byte, sizeof byte, "%02x", data[i]);
    line += byte;
    if (i + 1 == size) break;
    line += ',';
    if (line.size() >= kHexLineWidth) {
      out += line + "\\\n";
      line = "  ";
    }
  }
  out += line + "\n";
}

std::string hexType(DWORD type) {
  if (type == REG_BINARY) return "hex:";
  char text[16];
  std::snprintf(text, sizeof text, "hex(%lx):", static_cast<unsigned long>(type));
  return text;
}

// Whether a string reads back from its quoted form as exactly these bytes:
// one terminating zero, and no other zero or line break.
bool isQuotable(const std::vector<BYTE>& data) {
  if (data.empty() || data.back() != 0) return false;
  for (std::size_t i = 0; i + 1 < data.size(); ++i) {
    if (data[i] == 0 || data[i] == '\r' || data[i] == '\n') return false;
  }
  return true;
}

// One value as a .reg line, in the forms our POSIX registry writes: a string
// as text where that reads back exactly, otherwise its ANSI bytes as hex(1);
// a 4-byte DWORD as dword:; anything else as hex, the expandable and multiple
// strings in their stored UTF-16 form, as .reg files carry them.
void writeValue(HKEY key, const std::string& name, const std::wstring& wideName, DWORD type,
                const std::vector<BYTE>& ansiData, std::string& out) {
  std::string line = name.empty() ? "@=" : quoted(name) + "=";
  if (type == REG_SZ && isQuotable(ansiData)) {
    out += line + quoted(std::string(ansiData.begin(), ansiData.end() - 1)) + "\n";
    return;
  }
  if (type == REG_DWORD && ansiData.size() == 4) {
    char text[16];
    DWORD value = 0;
    std::memcpy(&value, ansiData.data(), 4);
    std::snprintf(text, sizeof text, "dword:%08lx", static_cast<unsigned long>(value));
    out += line + text + "\n";
    return;
  }
  std::vector<BYTE> data = ansiData;
  if (type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
    DWORD wideSize = 0;
    RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, nullptr, &wideSize);
    data.resize(wideSize);
    RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, data.data(), &wideSize);
    data.resize(wideSize);
  }
  line += hexType(type);
  appendHex(line, out, data.data(), static_cast<DWORD>(data.size()));
}

// One value at `index`: its name as text and in wide form, its type, and its
// data as text (a string's bytes in the ANSI code page, or in UTF-8 with
// `unicode`) or bytes. False past the last one or on an error.
LONG readValue(HKEY key, DWORD index, bool unicode, std::string& name, std::wstring& wideName,
               DWORD& type, std::vector<BYTE>& data) {
  DWORD size = 0;
  DWORD nameLength = kValueNameSize;
  if (!unicode) {
    std::vector<char> buffer(kValueNameSize);
    LONG result =
        RegEnumValueA(key, index, buffer.data(), &nameLength, nullptr, &type, nullptr, &size);
    if (result != ERROR_SUCCESS) return result;
    data.resize(size);
    nameLength = kValueNameSize;
    result = RegEnumValueA(key, index, buffer.data(), &nameLength, nullptr, &type, data.data(),
                           &size);
    data.resize(size);
    name.assign(buffer.data(), nameLength);
    wideName = widen(name);
    return result;
  }
  std::vector<wchar_t> buffer(kValueNameSize);
  LONG result =
      RegEnumValueW(key, index, buffer.data(), &nameLength, nullptr, &type, nullptr, &size);
  if (result != ERROR_SUCCESS) return result;
  data.resize(size);
  nameLength = kValueNameSize;
  result =
      RegEnumValueW(key, index, buffer.data(), &nameLength, nullptr, &type, data.data(), &size);
  data.resize(size);
  wideName.assign(buffer.data(), nameLength);
  name = utf8(wideName.data(), wideName.size());
  if (type == REG_SZ) {
    const std::string text =
        utf8(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
    data.assign(text.begin(), text.end());
  }
  return result;
}

// The subkey at `index`, opened, and its name as text (UTF-8 with `unicode`).
LONG openSubkey(HKEY key, DWORD index, bool unicode, std::string& name, Key& child) {
  DWORD length = kKeyNameSize;
  LONG result = ERROR_SUCCESS;
  if (unicode) {
    wchar_t subkey[kKeyNameSize];
    result = RegEnumKeyExW(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) return result;
    name = utf8(subkey, length);
    return RegOpenKeyExW(key, subkey, 0, KEY_READ, child.out());
  }
  char subkey[kKeyNameSize];
  result = RegEnumKeyExA(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
  if (result != ERROR_SUCCESS) return result;
  name.assign(subkey, length);
  return RegOpenKeyExA(key, subkey, 0, KEY_READ, child.out());
}

bool exportKey(HKEY key, const std::string& path, bool unicode, std::string& out) {
  out += "[" + path + "]\n";
  std::vector<BYTE> data;
  std::string name;
  std::wstring wideName;
  for (DWORD index = 0;; ++index) {
    DWORD type = 0;
    const LONG result = readValue(key, index, unicode, name, wideName, type, data);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    writeValue(key, name, wideName, type, data, out);
  }
  out += "\n";

  for (DWORD index = 0;; ++index) {
    std::string subkey;
    Key child;
    const LONG result = openSubkey(key, index, unicode, subkey, child);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    if (!exportKey(child.get(), path + "\\" + subkey, unicode, out)) return false;
  }
  return true;
}

bool exportTree(const Tree& tree, bool unicode, std::string& out) {
  Key key;
  const LONG result =
      RegOpenKeyExA(tree.root, "Software\\ODBC", 0, KEY_READ | tree.view, key.out());
  if (result == ERROR_FILE_NOT_FOUND) return true;
  return result == ERROR_SUCCESS && exportKey(key.get(), tree.shownAs, unicode, out);
}

bool writeFile(const std::wstring& path, const std::string& text) {
  FILE* file = _wfopen(path.c_str(), L"wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

bool exportRoots(const std::wstring& scratch, bool unicode) {
  std::string machine = "Windows Registry Editor Version 5.00\n\n";
  std::string user = machine;
  const bool read = exportTree(kTrees[0], unicode, machine) &&
                    exportTree(kTrees[1], unicode, machine) && exportTree(kTrees[2], unicode, user);
  if (!read) {
    std::fputs("case-host: cannot read the ODBC trees\n", stderr);
    return false;
  }
  return writeFile(scratch + L"\\HKEY_LOCAL_MACHINE.reg", machine) &&
         writeFile(scratch + L"\\HKEY_CURRENT_USER.reg", user);
}

// ---- The program.

bool runProgram(const wchar_t* commandLine, DWORD& exitCode) {
  // CreateProcessW may write into the command line it is given.
  std::wstring line(commandLine);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                      &process)) {
    std::fprintf(stderr, "case-host: cannot start the program: error %lu\n", GetLastError());
    return false;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return true;
}

bool writeExitCode(const std::wstring& scratch, DWORD exitCode) {
  char text[16];
  std::snprintf(text, sizeof text, "%ld\n", static_cast<long>(static_cast<LONG>(exitCode)));
  return writeFile(scratch + L"\\exit-code", text);
}

int usage() {
  std::fputs(
      "usage: case-host clear\n"
      "       case-host run SCRATCH PROGRAM [ARGUMENTS...]\n"
      "       case-host run-more SCRATCH PROGRAM [ARGUMENTS...]\n"
      "       case-host run-unicode | run-more-unicode SCRATCH PROGRAM [ARGUMENTS...]\n",
      stderr);
  return 2;
}

}  // namespace

int main() {
  const wchar_t* line = skipProgramName(GetCommandLineW());
  std::wstring command;
  if (!takePlainWord(line, command)) return usage();
  if (command == L"clear" && *line == L'\0') return clearTrees() ? 0 : 1;

  std::wstring scratch;
  const std::wstring unicodeSuffix = L"-unicode";
  const bool unicode = command.size() > unicodeSuffix.size() &&
                       command.compare(command.size() - unicodeSuffix.size(),
                                       unicodeSuffix.size(), unicodeSuffix) == 0;
  if (unicode) command.resize(command.size() - unicodeSuffix.size());
  const bool lastRun = command == L"run";
  if ((!lastRun && command != L"run-more") || !takePlainWord(line, scratch) || *line == L'\0') {
    return usage();
  }
  DWORD exitCode = 0;
  if (!runProgram(line, exitCode)) return 3;
  const bool recorded = writeExitCode(scratch, exitCode) && exportRoots(scratch, unicode);
  const bool cleared = !lastRun || clearTrees();
  return recorded && cleared ? 0 : 4;
}
