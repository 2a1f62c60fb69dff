#include "cli/arg_cursor.h"

#include <cstring>

namespace dsnconf {

const char* ArgCursor::next() {
  if (position >= size) return nullptr;
  return items[position++];
}

const char* ArgCursor::current() const {
  return position > 0 ? items[position - 1] : nullptr;
}

const char* ArgCursor::peek() const {
  return position < size ? items[position] : nullptr;
}

void ArgCursor::stepBack() {
  if (position > 0) --position;
}

std::size_t copyBounded(char* destination, const char* source, std::size_t n) {
  const std::size_t length = source ? std::strlen(source) : 0;
  if (n == 0) return length;
  const std::size_t copied = length < n - 1 ? length : n - 1;
  if (copied > 0) std::memcpy(destination, source, copied);
  destination[copied] = '\0';
  destination[n - 1] = '\0';
  return length;
}

}  // namespace dsnconf
