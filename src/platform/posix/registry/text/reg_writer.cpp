#include "registry/text/reg_writer.h"

#include <cstddef>
#include <cstdio>
#include <string_view>

namespace dsnconf::posix {

namespace {

// Hex data lines are wrapped before they grow past this, as regedit does.
constexpr std::size_t kHexLineWidth = 76;

bool isExactString(DWORD type, const std::string& data) {
  if (type != REG_SZ || data.empty() || data.back() != '\0') return false;
  return data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

// String data reaches here only without line breaks or zeros (else it goes
// out as hex); a name has no hex form, so its line breaks and zeros, which a
// name read from Wine's exports may hold, go out as the escapes Wine writes.
void appendQuoted(std::string& out, std::string_view s) {
  out += '"';
  for (char c : s) {
    if (c == '\\' || c == '"') {
      out += '\\';
      out += c;
    } else if (c == '\r' || c == '\n' || c == '\0') {
      out += '\\';
      out += c == '\r' ? 'r' : c == '\n' ? 'n' : '0';
    } else {
      out += c;
    }
  }
  out += '"';
}

void appendValueName(std::string& out, const std::string& name) {
  if (name.empty()) {
    out += '@';
  } else {
    appendQuoted(out, name);
  }
}

void appendHexList(std::string& out, std::size_t lineStart, const std::string& data) {
  static const char kDigits[] = "0123456789abcdef";
  for (std::size_t i = 0; i < data.size(); ++i) {
    auto byte = static_cast<unsigned char>(data[i]);
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
    if (i + 1 == data.size()) break;
    out += ',';
    if (out.size() - lineStart > kHexLineWidth) {
      out += "\\\n  ";
      lineStart = out.size() - 2;
    }
  }
}

}  // namespace

void appendSectionLine(std::string& out, const std::string& fullPath) {
  out += '[';
  out += fullPath;
  out += "]\n";
}

void appendKeyDeletionLine(std::string& out, const std::string& fullPath) {
  out += "[-";
  out += fullPath;
  out += "]\n";
}

void appendValueLine(std::string& out, const std::string& name, DWORD type,
                     const std::string& data) {
  std::size_t lineStart = out.size();
  appendValueName(out, name);
  out += '=';
  if (isExactString(type, data)) {
    appendQuoted(out, std::string_view(data).substr(0, data.size() - 1));
  } else if (type == REG_DWORD && data.size() == 4) {
    DWORD number = 0;
    for (int i = 3; i >= 0; --i) number = (number << 8) | static_cast<unsigned char>(data[i]);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(number));
    out += "dword:";
    out += digits;
  } else {
    if (type == REG_BINARY) {
      out += "hex:";
    } else {
      char prefix[24];
      std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(type));
      out += prefix;
    }
    appendHexList(out, lineStart, data);
  }
  out += '\n';
}

void appendValueDeletionLine(std::string& out, const std::string& name) {
  appendValueName(out, name);
  out += "=-\n";
}

bool isWritableValueName(const std::string& name) {
  return name.find_first_of("\r\n") == std::string::npos;
}

bool isWritableKeyName(const std::string& name) {
  return !name.empty() && name.find_first_of("\\\r\n") == std::string::npos;
}

}  // namespace dsnconf::posix
