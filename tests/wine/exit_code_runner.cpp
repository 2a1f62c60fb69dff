// Runs a program and writes its whole 32-bit exit code to a file. Under Wine a
// POSIX shell sees only the low 8 bits of a Windows exit code, so -1 and 255,
// or 1630 and 94, would read alike.
//
//   exit-code-runner.exe EXIT_FILE PROGRAM [ARGUMENTS...]
//
// The program gets this process's own command line less its first two words,
// exactly as Wine built it, so it parses the very arguments it would have got
// had it been started directly. EXIT_FILE holds no blank and no quote, which
// keeps that cut trivial.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

bool isBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

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
  while (isBlank(*line)) ++line;
  return line;
}

const wchar_t* skipPlainWord(const wchar_t* line) {
  while (*line != L'\0' && !isBlank(*line)) ++line;
  while (isBlank(*line)) ++line;
  return line;
}

bool isPlainWord(const wchar_t* word) {
  if (*word == L'\0') return false;
  for (; *word != L'\0'; ++word) {
    if (isBlank(*word) || *word == L'"') return false;
  }
  return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || !isPlainWord(argv[1])) {
    std::fputs("usage: exit-code-runner EXIT_FILE PROGRAM [ARGUMENTS...]\n", stderr);
    return 2;
  }
  const wchar_t* childLine = skipPlainWord(skipProgramName(GetCommandLineW()));
  // CreateProcessW may write into the command line it is given.
  std::wstring commandLine(childLine);

  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                      &startup, &process)) {
    std::fwprintf(stderr, L"exit-code-runner: cannot start %ls: error %lu\n", argv[2],
                  GetLastError());
    return 3;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD exitCode = 0;
  GetExitCodeProcess(process.hProcess, &exitCode);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);

  FILE* exitFile = _wfopen(argv[1], L"w");
  if (exitFile == nullptr) {
    std::fwprintf(stderr, L"exit-code-runner: cannot write %ls\n", argv[1]);
    return 4;
  }
  std::fprintf(exitFile, "%ld\n", static_cast<long>(static_cast<LONG>(exitCode)));
  std::fclose(exitFile);
  return 0;
}
