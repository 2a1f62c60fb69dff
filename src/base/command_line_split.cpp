#include "base/command_line_split.h"

namespace dsnconf {
namespace {

bool isBlank(char16_t c) {
  return c == u' ' || c == u'\t';
}

// The program's name: quotes group, and nothing is escaped.
std::size_t readProgramName(std::u16string_view line, std::u16string& name) {
  bool quoted = false;
  std::size_t i = 0;
  for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
    if (line[i] == u'"') {
      quoted = !quoted;
    } else {
      name += line[i];
    }
  }
  return i;
}

}  // namespace

std::vector<std::u16string> splitCommandLine(std::u16string_view line) {
  std::vector<std::u16string> arguments(1);
  std::size_t i = readProgramName(line, arguments.front());
  for (;;) {
    while (i < line.size() && isBlank(line[i])) ++i;
    if (i >= line.size()) return arguments;
    std::u16string argument;
    bool quoted = false;
    for (; i < line.size() && (quoted || !isBlank(line[i])); ++i) {
      std::size_t backslashes = 0;
      while (i < line.size() && line[i] == u'\\') {
        ++backslashes;
        ++i;
      }
      if (i < line.size() && line[i] == u'"') {
        argument.append(backslashes / 2, u'\\');
        if (backslashes % 2 == 1) {
          argument += u'"';
        } else if (quoted && i + 1 < line.size() && line[i + 1] == u'"') {
          argument += u'"';
          ++i;
        } else {
          quoted = !quoted;
        }
        continue;
      }
      argument.append(backslashes, u'\\');
      if (i >= line.size() || (!quoted && isBlank(line[i]))) break;
      argument += line[i];
    }
    arguments.push_back(std::move(argument));
  }
}

}  // namespace dsnconf
