// The statements of .reg text, one at a time: key lines, value lines with
// the lines their hex data continues on, and comments. A whole text and the
// body of a journal entry are both read through it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "registry/text/line_cursor.h"
#include "registry/text/reg_sink.h"
#include "registry/text/text_scan.h"
#include "win32.h"

namespace dsnconf::posix {

class StatementParser {
 public:
  // `offset` is added to every position reported to the sink.
  StatementParser(RegTextSink& sink, std::size_t offset, bool wideStringData)
      : sink_(sink), offset_(offset), wideStringData_(wideStringData) {}

  void forgetSection() { section_ = Section::None; }
  // For value lines of a key the sink has open already.
  void assumeOpenSection() { section_ = Section::Open; }

  // Parses the statement on `line`, taking continuation lines from `cursor`.
  bool parse(const Line& line, LineCursor& cursor, std::string& error) {
    std::string_view content = trimLeft(line.content);
    if (content.empty() || content.front() == ';') return true;
    if (content.front() == '[') return parseSection(line, content, error);
    if (content.front() == '"' || content.front() == '@') {
      return parseValue(line, content, cursor, error);
    }
    error = lineError(line.number, "not a key, value or comment line");
    return false;
  }

 private:
  enum class Section { None, Open, Deleted };

  bool parseSection(const Line& line, std::string_view content, std::string& error);
  bool parseValue(const Line& line, std::string_view content, LineCursor& cursor,
                  std::string& error);

  RegTextSink& sink_;
  std::size_t offset_;
  bool wideStringData_;
  Section section_ = Section::None;
};

}  // namespace dsnconf::posix
