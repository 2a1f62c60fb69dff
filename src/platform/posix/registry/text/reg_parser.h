// Reading .reg text: a whole hive file, the entries appended to one, or the
// value lines of one key, statement by statement into a RegTextSink.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "registry/text/reg_decoding.h"
#include "registry/text/reg_sink.h"

namespace dsnconf::posix {

struct RegParseOptions {
  // A whole file, which must start with a header line (or hold nothing but
  // blank space); false for text appended to a file already read.
  bool expectHeader = true;
  // Number of the text's first line, for messages.
  std::size_t firstLine = 1;
  // Offset of the text's first byte in its file, for RegTextSink::valueLines.
  std::size_t firstOffset = 0;
  // The text holds nothing but value lines of one key, which the sink has
  // open already: the value lines of a key read back on first use.
  bool keyOpen = false;
  // Hex data of the string types (hex(1), hex(2), hex(7)) is UTF-16LE, as
  // regedit writes it in a UTF-16 file, and is read as UTF-8, the form the
  // ANSI calls hand out. In 8-bit text it is taken as it stands.
  bool wideStringData = false;
};

// The options for parsing a whole decoded file.
RegParseOptions wholeFileOptions(const DecodedRegText& decoded);

struct RegParseResult {
  bool ok = true;
  // "line N: what is wrong".
  std::string error;
  // Offset just past the last statement that counts: the start of an
  // unfinished journal entry at the end, else the end of the text.
  std::size_t validEnd = 0;
  // Line number of the line that begins at validEnd.
  std::size_t lineAtValidEnd = 1;
  bool sawHeader = false;
  // Bytes taken up by complete journal entries.
  std::size_t journalBytes = 0;
};

RegParseResult parseRegText(std::string_view text, const RegParseOptions& options,
                            RegTextSink& sink);

}  // namespace dsnconf::posix
