#include "ini_editor.h"

#include <optional>
#include <string_view>
#include <utility>

#include "ini_lines.h"

namespace dsnconf::odbccp {
namespace {

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

}  // namespace

IniEditor::IniEditor(const std::string& content) {
  for (const TextLine& line : splitLines(content)) {
    lines_.push_back({std::string(line.text), std::string(line.ending)});
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
  // Each line is shaped where it stands in the file as read: once the first
  // line is gone, the next is still no line that may start with the signature.
  bool inSection = false;
  std::vector<Line> kept;
  for (std::size_t i = 0; i < lines_.size(); ++i) {
    const LineShape shape = shapeOf(lines_[i].text, i == 0);
    if (shape.kind == LineKind::Section) inSection = sameName(shape.name, section);
    if (!inSection) kept.push_back(std::move(lines_[i]));
  }
  lines_ = std::move(kept);
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
