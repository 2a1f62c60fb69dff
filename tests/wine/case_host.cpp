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
//   case-host.exe cmd SCRATCH, case-host.exe cmd-more SCRATCH
//       as run and run-more, but runs cmd.exe /c with the line that
//       SCRATCH\cmd-line.txt holds (UTF-8), this host's folder, which holds
//       the program, first on PATH: a line printed for an administrator to
//       paste into a Command Prompt, run as it would run there.
//   case-host.exe run /unicode SCRATCH ...   (also run-more /unicode)
//       the same, but the .reg text is read through the wide functions and
//       written in UTF-8 (wide_trees.h), for the commands that take Unicode
//       text: names beyond the ANSI code page come out exactly.
//   case-host.exe dump FILE
//       writes every key and value of the trees, names and data in hex, read
//       through the wide functions, to FILE: two dumps compare with cmp.
//
// The program gets this process's own command line less its first words,
// exactly as Wine built it, so it parses the very arguments it would have got
// had it been started directly. SCRATCH holds no blank and no quote, which
// keeps that cut trivial.
//
// Without /unicode the registry is read through the ANSI functions, as the
// first six commands read it, so the .reg text holds the bytes they saw.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host_registry.h"
#include "wide_trees.h"

namespace {

using case_host::Key;
using case_host::kKeyNameSize;
using case_host::kTrees;
using case_host::kValueNameSize;
using case_host::Tree;
using case_host::quoted;

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

// .reg text wraps hex data after this many columns, as regedit does.
constexpr std::size_t kHexLineWidth = 76;

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
void writeValue(HKEY key, const std::string& name, DWORD type, const std::vector<BYTE>& ansiData,
                std::string& out) {
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
    const std::wstring wideName = widen(name);
    DWORD wideSize = 0;
    RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, nullptr, &wideSize);
    data.resize(wideSize);
    RegQueryValueExW(key, wideName.c_str(), nullptr, nullptr, data.data(), &wideSize);
    data.resize(wideSize);
  }
  line += hexType(type);
  appendHex(line, out, data.data(), static_cast<DWORD>(data.size()));
}

bool exportKey(HKEY key, const std::string& path, std::string& out) {
  out += "[" + path + "]\n";
  std::vector<char> name(kValueNameSize);
  std::vector<BYTE> data;
  for (DWORD index = 0;; ++index) {
    DWORD nameLength = kValueNameSize;
    DWORD type = 0;
    DWORD size = 0;
    LONG result =
        RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, nullptr, &size);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    data.resize(size);
    nameLength = kValueNameSize;
    result =
        RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
    if (result != ERROR_SUCCESS) return false;
    data.resize(size);
    writeValue(key, std::string(name.data(), nameLength), type, data, out);
  }
  out += "\n";

  char subkey[kKeyNameSize];
  for (DWORD index = 0;; ++index) {
    DWORD length = kKeyNameSize;
    const LONG result =
        RegEnumKeyExA(key, index, subkey, &length, nullptr, nullptr, nullptr, nullptr);
    if (result == ERROR_NO_MORE_ITEMS) break;
    if (result != ERROR_SUCCESS) return false;
    Key child;
    if (RegOpenKeyExA(key, subkey, 0, KEY_READ, child.out()) != ERROR_SUCCESS) return false;
    if (!exportKey(child.get(), path + "\\" + std::string(subkey, length), out)) return false;
  }
  return true;
}

bool exportTree(const Tree& tree, std::string& out) {
  Key key;
  const LONG result =
      RegOpenKeyExA(tree.root, "Software\\ODBC", 0, KEY_READ | tree.view, key.out());
  if (result == ERROR_FILE_NOT_FOUND) return true;
  return result == ERROR_SUCCESS && exportKey(key.get(), tree.shownAs, out);
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
  const bool read = unicode ? case_host::exportTreesAsUtf8(machine, user)
                            : exportTree(kTrees[0], machine) && exportTree(kTrees[1], machine) &&
                                  exportTree(kTrees[2], user);
  if (!read) {
    std::fputs("case-host: cannot read the ODBC trees\n", stderr);
    return false;
  }
  return writeFile(scratch + L"\\HKEY_LOCAL_MACHINE.reg", machine) &&
         writeFile(scratch + L"\\HKEY_CURRENT_USER.reg", user);
}

// ---- The program.

// "cmd.exe /c <the line in SCRATCH\cmd-line.txt>".
bool cmdCommandLine(const std::wstring& scratch, std::wstring& commandLine) {
  FILE* file = _wfopen((scratch + L"\\cmd-line.txt").c_str(), L"rb");
  if (file == nullptr) {
    std::fputs("case-host: cannot read cmd-line.txt\n", stderr);
    return false;
  }
  std::string line;
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;) {
    line.append(buffer, got);
  }
  std::fclose(file);
  const int length =
      MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, line.data(), static_cast<int>(line.size()), wide.data(), length);
  commandLine = L"cmd.exe /c " + wide;
  return true;
}

// Puts the folder of this host, where the program lies, first on PATH, which
// the processes it starts inherit.
bool putHostFolderOnPath() {
  wchar_t self[MAX_PATH];
  const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return false;
  std::wstring folder(self, length);
  const std::size_t slash = folder.find_last_of(L'\\');
  if (slash == std::wstring::npos) return false;
  folder.erase(slash);
  std::wstring path(32767, L'\0');
  path.resize(GetEnvironmentVariableW(L"PATH", path.data(), static_cast<DWORD>(path.size())));
  return SetEnvironmentVariableW(L"PATH", (folder + L";" + path).c_str()) != 0;
}

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
      "       case-host cmd SCRATCH\n"
      "       case-host cmd-more SCRATCH\n"
      "       case-host run|run-more /unicode SCRATCH PROGRAM [ARGUMENTS...]\n"
      "       case-host dump FILE\n",
      stderr);
  return 2;
}

int dump(const std::wstring& file) {
  std::string text;
  if (!case_host::dumpTrees(text)) {
    std::fputs("case-host: cannot read the ODBC trees\n", stderr);
    return 1;
  }
  return writeFile(file, text) ? 0 : 1;
}

}  // namespace

int main() {
  const wchar_t* line = skipProgramName(GetCommandLineW());
  std::wstring command;
  if (!takePlainWord(line, command)) return usage();
  if (command == L"clear" && *line == L'\0') return clearTrees() ? 0 : 1;
  std::wstring word;
  if (command == L"dump") {
    return takePlainWord(line, word) && *line == L'\0' ? dump(word) : usage();
  }

  const bool throughCmd = command == L"cmd" || command == L"cmd-more";
  const bool lastRun = command == L"run" || command == L"cmd";
  if ((!lastRun && command != L"run-more" && command != L"cmd-more") ||
      !takePlainWord(line, word)) {
    return usage();
  }
  const bool unicode = !throughCmd && word == L"/unicode";
  if (unicode && !takePlainWord(line, word)) return usage();
  const std::wstring scratch = word;
  if ((*line == L'\0') != throughCmd) return usage();
  std::wstring commandLine = line;
  if (throughCmd && !(cmdCommandLine(scratch, commandLine) && putHostFolderOnPath())) return 3;
  DWORD exitCode = 0;
  if (!runProgram(commandLine.c_str(), exitCode)) return 3;
  const bool recorded = writeExitCode(scratch, exitCode) && exportRoots(scratch, unicode);
  const bool cleared = !lastRun || clearTrees();
  return recorded && cleared ? 0 : 4;
}
