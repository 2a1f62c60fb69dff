// Changing one key or section of a file data source in its text, line by
// line: every line that the change does not touch, comments, blank lines and
// lines no reader understands included, stays byte for byte as it was.
//
// Lines are recognised as the reader (dsn_file_reader.h) recognises them
// (ini_lines.h), so the key changed here is the one a later read finds.
#pragma once

#include <string>
#include <vector>

namespace dsnconf::odbccp {

class IniEditor {
 public:
  explicit IniEditor(const std::string& content);

  // Replaces the value of the first `key` of the sections named `section`,
  // keeping the line's spelling and spacing up to the value. A missing key is
  // added after the last key of the first such section, a missing section at
  // the end of the file.
  void setValue(const std::string& section, const std::string& key, const std::string& value);

  // Removes every `key` line of the sections named `section`.
  void removeKey(const std::string& section, const std::string& key);

  // Removes each section named `section`: its header and the lines up to the next header.
  void removeSection(const std::string& section);

  std::string text() const;

 private:
  struct Line {
    std::string text;
    std::string ending;  // "\n", "\r\n", "\r", or empty for a last line without one
  };

  // The line ending that added lines get: the file's own, else a newline.
  std::string lineEnding() const;
  void insertLine(std::size_t position, std::string text);

  std::vector<Line> lines_;
};

}  // namespace dsnconf::odbccp
