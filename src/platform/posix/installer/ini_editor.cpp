#include "ini_editor.h"

#include <optional>
#include <string_view>
#include <utility>

namespace dsnconf::odbccp {
namespace {

enum class LineKind { Other, Section, Key };

struct LineShape {
  LineKind kind = LineKind::Other;
  std::string_view name;
  std::size_t valueStart = 0;  // for a key: where its value begins
};

constexpr std::string_view kUtf8Signature = "\xEF\xBB\xBF";

bool isBlank(char c) {
  return c == ' ' || c == '\t';
}

char lower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool sameName(std::string_view left, std::string_view right) {
  if (left.size() != right.size()) return false;
  for (std::size_t i = 0; i < left.size(); ++i) {
    if (lower(left[i]) != lower(right[i])) return false;
  }
  return true;
}

std::size_t skipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && isBlank(text[pos])) ++pos;
  return pos;
}

std::string_view trimEnd(std::string_view text) {
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

// A header "[name]" (blanks around the name dropped, anything after "]"
// ignored), a "key=value" line with a non-empty key, or anything else: blank
// lines, comments starting with ';' or '#', and lines that are neither. The
// file's first line may start with the UTF-8 signature.
LineShape shapeOf(std::string_view text, bool firstLine) {
  const bool hasSignature = firstLine && text.substr(0, kUtf8Signature.size()) == kUtf8Signature;
  LineShape shape;
  const std::size_t start = skipBlanks(text, hasSignature ? kUtf8Signature.size() : 0);
  if (start == text.size() || text[start] == ';' || text[start] == '#') return shape;
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

}  // namespace

IniEditor::IniEditor(const std::string& content) {
  std::size_t pos = 0;
  while (pos < content.size()) {
    const std::size_t end = content.find_first_of("\r\n", pos);
    if (end == std::string::npos) {
      lines_.push_back({content.substr(pos), ""});
      break;
    }
    const std::size_t endingLength = content.compare(end, 2, "\r\n") == 0 ? 2 : 1;
    lines_.push_back({content.substr(pos, end - pos), content.substr(end, endingLength)});
    pos = end + endingLength;
  }
}

void IniEditor::setValue(const std::string& section, const std::string& key,
                         const std::string& value) {
  bool inSection = false;
  bool inFirstSection = false;
  std::optional<std::size_t> insertAt;  // after the last key of the first matching section
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const LineShape shape = shapeOf(lines_[i].text, i == 0);
    if (shape.kind == LineKind::Section) {
      inSection = sameName(shape.name, section);
      inFirstSection = inSection && !insertAt;
      if (inFirstSection) insertAt = i + 1;
      continue;
    }
    if (!inSection || shape.kind != LineKind::Key) continue;
    if (sameName(shape.name, key)) {
      lines_[i].text = lines_[i].text.substr(0, shape.valueStart) + value;
      return;
    }
    if (inFirstSection) insertAt = i + 1;
  }
  if (insertAt) {
    insertLine(*insertAt, key + "=" + value);
  } else {
    insertLine(lines_.size(), "[" + section + "]");
    insertLine(lines_.size(), key + "=" + value);
  }
}

void IniEditor::removeKey(const std::string& section, const std::string& key) {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size();) {
    const LineShape shape = shapeOf(lines_[i].text, i == 0);
    if (shape.kind == LineKind::Section) inSection = sameName(shape.name, section);
    if (inSection && shape.kind == LineKind::Key && sameName(shape.name, key)) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

void IniEditor::removeSection(const std::string& section) {
  bool inSection = false;
  for (std::size_t i = 0; i < lines_.size();) {
    const LineShape shape = shapeOf(lines_[i].text, i == 0);
    if (shape.kind == LineKind::Section) inSection = sameName(shape.name, section);
    if (inSection) {
      lines_.erase(lines_.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

std::string IniEditor::text() const {
  std::string joined;
  for (const Line& line : lines_) joined += line.text + line.ending;
  return joined;
}

std::string IniEditor::lineEnding() const {
  for (const Line& line : lines_) {
    if (!line.ending.empty()) return line.ending;
  }
  return "\n";
}

void IniEditor::insertLine(std::size_t position, std::string text) {
  const std::string ending = lineEnding();
  // The line before it may be a last line without an ending.
  if (position > 0 && lines_[position - 1].ending.empty()) lines_[position - 1].ending = ending;
  lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(position), {std::move(text), ending});
}

}  // namespace dsnconf::odbccp
