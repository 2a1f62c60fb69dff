// What the commands beyond the first six exchange with the world as text:
// their arguments, the lines they print, and the files they read and write.
// Text is WTF-8 (base/unicode.h), as the wide registry gives it. On Windows
// the arguments come from the wide command line, a line goes to a console as
// UTF-16 and to a pipe or a file as UTF-8, and file names are wide. On POSIX
// they are the bytes of argv, of the terminal and of file names, read and
// written as the registry's names are.
#pragma once

#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace dsnconf {

// The arguments after the program's name.
std::vector<std::string> textArguments(int argc, char** argv);

// Text as the wide strings of this platform's API: UTF-16 on Windows, code
// points on POSIX.
std::wstring wideText(const std::string& text);

// Text to standard output, flushed: false where it could not be written
// whole (a full disk behind a redirection).
bool writeText(std::string_view text);

// One line, flushed at once.
void printText(std::string_view line);

// Standard output without any translation of line ends, for documents whose
// bytes are fixed (UTF-16 with CRLF).
void useBinaryStandardOutput();

bool readWholeFile(const std::string& path, std::string& bytes);
bool fileExists(const std::string& path);
void removeFile(const std::string& path);

// A file written piece by piece; one owner, closed exactly once.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Creates the file, replacing one of that name; with `ownerOnly` it is
  // readable and writable by its owner only (POSIX; on Windows the folder's
  // permissions apply).
  bool open(const std::string& path, bool ownerOnly);
  // False once any piece could not be written.
  bool write(std::string_view bytes);
  // Flushes and closes: false where anything written did not reach the file.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

enum class PlaceFileResult { Placed, TargetExists, Failed };

// Renames the finished file `temporary` to `target` in one step. Without
// `replace`, an existing target is left alone and TargetExists returned; the
// temporary file stays where it is unless Placed.
PlaceFileResult placeFile(const std::string& temporary, const std::string& target, bool replace);

}  // namespace dsnconf
