// The lines of a file data source as the reader and the editor both see them,
// so that the key the editor changes is the one a later read finds.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace dsnconf::odbccp {

enum class LineKind { Other, Section, Key };

struct LineShape {
  LineKind kind = LineKind::Other;
  std::string_view name;
  std::size_t valueStart = 0;  // for a key: where its value begins
};

// A header "[name]" (blanks around the name dropped, anything after "]"
// ignored), a "key=value" line with a non-empty key, or anything else: blank
// lines, comments starting with ';' or '#', and lines that are neither. A line
// holding a zero byte is never a header or a key: no reader of the file could
// hand back what follows it. The file's first line may start with the UTF-8
// signature.
LineShape shapeOf(std::string_view text, bool firstLine);

struct TextLine {
  std::string_view text;
  std::string_view ending;  // "\n", "\r\n", "\r", or empty for a last line without one
};

// The lines of `content`, each ended by "\r\n", "\r" or "\n".
std::vector<TextLine> splitLines(std::string_view content);

}  // namespace dsnconf::odbccp
