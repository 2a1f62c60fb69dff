#include "dsn_file_reader.h"

#include <new>

#include "ini_lines.h"

// Text is kept as the bytes it is, in the 8-bit code page of the program.
#define SI_NO_CONVERSION
// Debian's packaging of the header keeps the definitions behind this switch.
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace dsnconf::odbccp {
namespace {

// The headers and keys of the file, one per line, as the editor sees them:
// SimpleIni on its own would take some lines that the editor passes over (a
// header without its "]" lends its name to the keys after it, a zero byte
// ends the file), and a key set there could not be read back.
std::string understoodLines(const std::string& content) {
  // SimpleIni drops a UTF-8 signature at the start of its text. The file's own
  // is gone already (shapeOf); the bytes of one starting a later line (files
  // joined together) are part of a key name, as the editor and Windows take
  // them, and must not turn the rest of the name into a header or a comment.
  // A blank first line keeps them.
  std::string text = "\n";
  bool firstLine = true;
  for (const TextLine& line : splitLines(content)) {
    const LineShape shape = shapeOf(line.text, firstLine);
    firstLine = false;
    if (shape.kind == LineKind::Section) {
      text.append("[").append(shape.name).append("]\n");
    } else if (shape.kind == LineKind::Key) {
      text.append(shape.name).append("=").append(line.text.substr(shape.valueStart)).append("\n");
    }
  }
  return text;
}

class ParsedFile {
 public:
  explicit ParsedFile(const std::string& content) {
    // Not UTF-8 specific, every key of the file kept, no multi-line values.
    if (ini_.LoadData(understoodLines(content)) < 0) throw std::bad_alloc();
  }
  const CSimpleIniA& ini() const { return ini_; }

 private:
  CSimpleIniA ini_{false, true, false};
};

std::string joinInFileOrder(CSimpleIniA::TNamesDepend names) {
  names.sort(CSimpleIniA::Entry::LoadOrder());
  std::string joined;
  for (const CSimpleIniA::Entry& name : names) {
    if (*name.pItem == '\0') continue;  // lines before the first section header
    if (!joined.empty()) joined += ';';
    joined += name.pItem;
  }
  return joined;
}

}  // namespace

LookupResult readValue(const std::string& content, const char* section, const char* key) {
  const ParsedFile file(content);
  if (file.ini().GetSection(section) == nullptr) return {Lookup::MissingSection, {}};
  const char* value = file.ini().GetValue(section, key, nullptr);
  if (value == nullptr) return {Lookup::MissingKey, {}};
  return {Lookup::Found, value};
}

LookupResult readKeyNames(const std::string& content, const char* section) {
  const ParsedFile file(content);
  CSimpleIniA::TNamesDepend names;
  if (!file.ini().GetAllKeys(section, names)) return {Lookup::MissingSection, {}};
  return {Lookup::Found, joinInFileOrder(names)};
}

std::string readSectionNames(const std::string& content) {
  const ParsedFile file(content);
  CSimpleIniA::TNamesDepend names;
  file.ini().GetAllSections(names);
  return joinInFileOrder(names);
}

}  // namespace dsnconf::odbccp
