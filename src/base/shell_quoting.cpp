#include "base/shell_quoting.h"

#include "base/unicode.h"

namespace dsnconf {
namespace {

bool isAsciiLetter(char32_t c) {
  return (c >= U'a' && c <= U'z') || (c >= U'A' && c <= U'Z');
}

// Characters that mean nothing to either shell within a word.
bool isPlainCharacter(char32_t c) {
  if (isAsciiLetter(c) || (c >= U'0' && c <= U'9')) return true;
  switch (c) {
    case U'.':
    case U'_':
    case U':':
    case U'\\':
    case U'/':
    case U'+':
    case U'=':
    case U'-':
      return true;
    default:
      return false;
  }
}

// Characters that neither double quotes nor anything else make safe in both
// shells (see the header).
bool hasNoSafeForm(char32_t c) {
  if (c < 0x20 || (c >= 0x7F && c <= 0x9F)) return true;
  if (c >= 0xD800 && c <= 0xDFFF) return true;
  switch (c) {
    case U'"':
    case U'%':
    case U'!':
    case U'$':
    case U'`':
    case U'\u201C':
    case U'\u201D':
    case U'\u201E':
    case U'\u2028':
    case U'\u2029':
      return true;
    default:
      return false;
  }
}

enum class Form { Plain, Quoted, None };

Form formOf(std::string_view argument) {
  if (argument.empty()) return Form::None;
  bool plain = true;
  for (std::size_t pos = 0; pos < argument.size();) {
    char32_t c = 0;
    const std::size_t length = decodeWtf8(argument, pos, c);
    if (length == 0 || hasNoSafeForm(c)) return Form::None;
    const bool startsWord = isAsciiLetter(c) || c == U'/' || c == U'\\';
    plain = plain && isPlainCharacter(c) && (pos > 0 || startsWord);
    pos += length;
  }
  if (plain) return Form::Plain;
  return argument.back() == '\\' ? Form::None : Form::Quoted;
}

}  // namespace

std::optional<std::string> shellArgument(std::string_view argument) {
  switch (formOf(argument)) {
    case Form::Plain:
      return std::string(argument);
    case Form::Quoted:
      return "\"" + std::string(argument) + "\"";
    case Form::None:
      break;
  }
  return std::nullopt;
}

std::optional<std::string> shellCommandLine(const std::vector<std::string>& words) {
  if (words.empty() || formOf(words.front()) != Form::Plain) return std::nullopt;
  std::string line = words.front();
  for (std::size_t i = 1; i < words.size(); ++i) {
    const std::optional<std::string> form = shellArgument(words[i]);
    if (!form) return std::nullopt;
    line += " " + *form;
  }
  return line;
}

}  // namespace dsnconf
