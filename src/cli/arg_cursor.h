// Reading the command line: a cursor over the arguments and the bounded copy
// used to normalise keywords.
#pragma once

#include <cstddef>
#include <cstdint>

namespace dsnconf {

// The arguments after the program name, borrowed from the runtime's vector
// (which ends with a null entry at index `size`), and the index of the next
// one to take. Every accessor yields null when there is no such argument.
struct ArgCursor {
  std::uint32_t size = 0;
  std::uint32_t position = 0;
  char** items = nullptr;

  const char* next();
  const char* current() const;
  const char* peek() const;
  // Hands the argument taken last back to the cursor.
  void stepBack();
  std::uint32_t remaining() const { return size - position; }
};

// Copies at most n - 1 characters of `source` (null counts as empty) into a
// buffer of n bytes and always terminates it; returns the length of `source`.
std::size_t copyBounded(char* destination, const char* source, std::size_t n);

// Copies `argument` into `buffer` with copyBounded and lower-cases ASCII A-Z
// only, so keywords match in any mix of case and a long argument is cut.
template <std::size_t N>
const char* normaliseKeyword(const char* argument, char (&buffer)[N]) {
  copyBounded(buffer, argument, N);
  for (char& c : buffer) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return buffer;
}

}  // namespace dsnconf
