// The .reg text format of the hive files: reading it in the encodings regedit
// writes, and writing it.
//
// A hive file is a regedit export ("Windows Registry Editor Version 5.00" or
// "REGEDIT4", sections "[HKEY_...\Key]", "[-HKEY_...\Key]" to delete a key,
// value lines "Name"=..., @=..., "Name"=- to delete a value). Changes are
// appended as journal entries: a line "; dsnconf journal begin", the sections
// and value lines of one change, and a line "; dsnconf journal end XXXXXXXX"
// whose eight hex digits are the CRC-32 of the entry's lines (each ended by
// one LF). An entry counts only once its end line is complete and its CRC
// matches; an unfinished entry at the end of the file is the trace of an
// interrupted write and is ignored. Both marker lines are comments to any
// other reader, so the file stays ordinary .reg text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "win32.h"

namespace dsnconf::posix {

constexpr std::string_view kRegHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRegHeader4 = "REGEDIT4";
constexpr std::string_view kJournalBegin = "; dsnconf journal begin";
constexpr std::string_view kJournalEnd = "; dsnconf journal end ";

// Receives the statements of a .reg text in file order.
class RegTextSink {
 public:
  virtual ~RegTextSink() = default;
  // "[path]": `path` is the key path split at backslashes, root name first.
  // Returns false with a reason when the key cannot be taken.
  virtual bool openKey(const std::vector<std::string>& path, std::string& error) = 0;
  // "[-path]".
  virtual bool deleteKey(const std::vector<std::string>& path, std::string& error) = 0;
  // A value line of the key last opened.
  virtual void setValue(const std::string& name, DWORD type, std::string data) = 0;
  virtual void deleteValue(const std::string& name) = 0;
  // Where the value line just passed to setValue or deleteValue lies: its
  // offset in the file (see RegParseOptions::firstOffset), the offset just
  // past its last continuation line, and its line number.
  virtual void valueLines(std::size_t /*begin*/, std::size_t /*end*/, std::size_t /*line*/) {}
  // False for a sink that only notes where value lines lie: their strings
  // are then checked but not decoded, and setValue and deleteValue not called.
  virtual bool wantsValues() const { return true; }
};

enum class RegTextEncoding { Bytes, Utf16 };

struct DecodedRegText {
  RegTextEncoding encoding = RegTextEncoding::Bytes;
  // 8-bit text; UTF-16 input is converted to UTF-8.
  std::string text;
  // Bytes of the file before `text` begins (a byte-order mark).
  std::size_t prefixBytes = 0;
};

// Recognises a UTF-8 BOM (skipped) and UTF-16 with a BOM (converted). The
// bytes are taken over: 8-bit text without a BOM becomes `decoded.text` as it is.
bool decodeRegFile(std::string fileBytes, DecodedRegText& decoded, std::string& error);

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

// Writing. Every function appends one complete line.
void appendSectionLine(std::string& out, const std::string& fullPath);
void appendKeyDeletionLine(std::string& out, const std::string& fullPath);
// Strings go out as "..." when that form reads back as exactly the same
// bytes, 4-byte REG_DWORD values as dword:, REG_BINARY as hex:, all others as
// hex(N):.
void appendValueLine(std::string& out, const std::string& name, DWORD type,
                     const std::string& data);
void appendValueDeletionLine(std::string& out, const std::string& name);

// Value names that a line can carry (no line breaks); key names also must not
// be empty nor contain backslashes.
bool isWritableValueName(const std::string& name);
bool isWritableKeyName(const std::string& name);

std::uint32_t crc32(std::string_view bytes);

// A journal entry around `body` (complete lines ending in LF).
std::string journalEntry(const std::string& body);

// Parses .reg text in any accepted encoding, applying journal entries and
// deletions in order, and returns it in one fixed form: the header line, then
// the keys sorted by full path without regard to case, each with its values
// in enumeration order, each value written as appendValueLine writes it.
// Texts that mean the same registry state give the same canonical text.
bool canonicalRegText(const std::string& fileBytes, std::string& canonical, std::string& error);

}  // namespace dsnconf::posix
