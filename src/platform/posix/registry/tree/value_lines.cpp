#include "registry/tree/value_lines.h"

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

#include "registry/text/reg_format.h"

namespace dsnconf::posix {

namespace {

// Takes the value lines of one key.
class KeyValuesSink : public RegTextSink {
 public:
  explicit KeyValuesSink(RegKey& key) : key_(key) {}
  bool openKey(const std::vector<std::string>&, std::string& error) override {
    error = "key line among the value lines of a key";
    return false;
  }
  bool deleteKey(const std::vector<std::string>& path, std::string& error) override {
    return openKey(path, error);
  }
  void setValue(const std::string& name, DWORD type, std::string data) override {
    key_.setValue(name, type, std::move(data));
  }
  void deleteValue(const std::string& name) override { key_.deleteValue(name); }

 private:
  RegKey& key_;
};

// Reads the "..." string whose opening quote is at line[pos], as the parser
// does (quotedEscape). Leaves pos after the closing quote.
bool takeQuoted(std::string_view line, std::size_t& pos, std::string& out) {
  ++pos;
  while (true) {
    const std::size_t quote = line.find('"', pos);
    if (quote == std::string_view::npos) return false;
    const std::size_t backslash = line.substr(0, quote).find('\\', pos);
    if (backslash == std::string_view::npos) {
      out.append(line, pos, quote - pos);
      pos = quote + 1;
      return true;
    }
    out.append(line, pos, backslash - pos);
    const int escaped = backslash + 1 < line.size() ? quotedEscape(line[backslash + 1]) : -1;
    out += escaped >= 0 ? static_cast<char>(escaped) : '\\';
    pos = backslash + (escaped >= 0 ? 2 : 1);
  }
}

// A line of the form most value lines of a hive file take, "name"="data"
// and nothing else: its name and string data (with the terminator the
// parser adds). `line` is without its LF; one with a CR before it, blanks,
// comments or other data is not of this form.
bool quotedStringLine(std::string_view line, std::string& name, std::string& data) {
  if (line.empty() || line.front() != '"') return false;
  std::size_t pos = 0;
  if (!takeQuoted(line, pos, name) || line.compare(pos, 2, "=\"") != 0) return false;
  ++pos;
  data.reserve(line.size() - pos);
  if (!takeQuoted(line, pos, data) || pos != line.size()) return false;
  data += '\0';
  return true;
}

std::size_t countLines(std::string_view lines) {
  std::size_t count = 0;
  for (std::size_t lf = lines.find('\n'); lf != std::string_view::npos;
       lf = lines.find('\n', lf + 1)) {
    ++count;
  }
  return count;
}

// Sets the values of a key that holds none yet when every line is of that
// form and ends in an LF; otherwise leaves the key without values again.
bool setQuotedStringLines(RegKey& key, std::string_view lines) {
  if (lines.empty() || lines.back() != '\n') return false;
  std::string name;
  for (std::size_t start = 0; start < lines.size();) {
    const std::size_t lf = lines.find('\n', start);
    name.clear();
    std::string data;
    if (!quotedStringLine(lines.substr(start, lf - start), name, data)) {
      key.clearValues();
      return false;
    }
    key.setValue(name, REG_SZ, std::move(data));
    start = lf + 1;
  }
  return true;
}

}  // namespace

RegParseResult readValueLines(RegKey& key, std::string_view lines, const ValueSegment& segment) {
  const std::size_t count = countLines(lines);
  // About one value a line: room for them all at once.
  key.reserveValues(count);
  // A listing reads every value of thousands of keys: lines of the usual
  // form are set as the parser would set them, without its general walk.
  if (key.values().empty() && setQuotedStringLines(key, lines)) {
    RegParseResult result;
    result.validEnd = lines.size();
    result.lineAtValidEnd = segment.line + count;
    return result;
  }
  KeyValuesSink sink(key);
  RegParseOptions options;
  options.expectHeader = false;
  options.keyOpen = true;
  options.firstLine = segment.line;
  options.firstOffset = segment.begin;
  return parseRegText(lines, options, sink);
}

}  // namespace dsnconf::posix
