// Walks a .reg text line by line, LF or CR LF ended, keeping where each line
// lies and its number for the positions and messages of the parse.
#pragma once

#include <cstddef>
#include <string_view>

#include "registry/text/text_scan.h"

namespace dsnconf::posix {

struct Line {
  // The line without its end (LF, or CR LF).
  std::string_view content;
  std::size_t start = 0;
  // Offset just past the line's end.
  std::size_t end = 0;
  std::size_t number = 0;
  bool terminated = false;
};

class LineCursor {
 public:
  // `base` is the offset of `text` in the whole text parsed, for positions
  // reported to the sink.
  LineCursor(std::string_view text, std::size_t firstLine, std::size_t base = 0)
      : text_(text), base_(base), number_(firstLine) {}

  bool next(Line& line) {
    if (pos_ >= text_.size()) return false;
    std::size_t lf = text_.find('\n', pos_);
    line.start = pos_;
    line.terminated = lf != std::string_view::npos;
    line.end = line.terminated ? lf + 1 : text_.size();
    line.content = text_.substr(pos_, (line.terminated ? lf : text_.size()) - pos_);
    if (!line.content.empty() && line.content.back() == '\r') line.content.remove_suffix(1);
    line.number = number_++;
    pos_ = line.end;
    return true;
  }

  std::size_t position() const { return pos_; }
  std::size_t basePosition() const { return base_ + pos_; }
  std::size_t base() const { return base_; }
  std::size_t lineNumber() const { return number_; }
  bool restIsBlank() const {
    for (std::size_t i = pos_; i < text_.size(); ++i) {
      char c = text_[i];
      if (!isBlank(c) && c != '\r' && c != '\n') return false;
    }
    return true;
  }

 private:
  std::string_view text_;
  std::size_t base_;
  std::size_t pos_ = 0;
  std::size_t number_;
};

}  // namespace dsnconf::posix
