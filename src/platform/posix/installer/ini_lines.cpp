#include "ini_lines.h"

namespace dsnconf::odbccp {
namespace {

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  return pos;
}

std::string_view trimEnd(std::string_view text) {
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

LineShape shapeOf(std::string_view text, bool firstLine) {
  const bool hasSignature = firstLine && text.substr(0, kUtf8Signature.size()) == kUtf8Signature;
  LineShape shape;
  const std::size_t start = skipBlanks(text, hasSignature ? kUtf8Signature.size() : 0);
  if (start == text.size() || text[start] == ';' || text[start] == '#') return shape;
  if (text.find('\0') != std::string_view::npos) return shape;
  if (text[start] == '[') {
    const std::size_t nameStart = skipBlanks(text, start + 1);
    const std::size_t close = text.find(']', nameStart);
    if (close == std::string_view::npos) return shape;
    shape.kind = LineKind::Section;
    shape.name = trimEnd(text.substr(nameStart, close - nameStart));
    return shape;
  }
  const std::size_t equals = text.find('=', start);
  if (equals == std::string_view::npos || equals == start) return shape;
  shape.kind = LineKind::Key;
  shape.name = trimEnd(text.substr(start, equals - start));
  shape.valueStart = skipBlanks(text, equals + 1);
  return shape;
}

std::vector<TextLine> splitLines(std::string_view content) {
  std::vector<TextLine> lines;
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) {
      lines.push_back({content.substr(pos), {}});
      break;
    }
    const std::size_t endingLength = content.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines.push_back({content.substr(pos, end - pos), content.substr(end, endingLength)});
    pos = end + endingLength;
  }
  return lines;
}

}  // namespace dsnconf::odbccp
