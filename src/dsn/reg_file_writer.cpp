#include "dsn/reg_file_writer.h"

#include <cstdio>
#include <string_view>
#include <utility>

#include "base/unicode.h"
#include "dsn/value_text.h"

namespace dsnconf {
namespace {

const char16_t* const kLineEnd = u"\r\n";

// What the file holds and how to restore it. A 32-bit reg.exe (what a 32-bit
// shell or agent starts) would write the 64-bit sections into the 32-bit
// view; /reg:64 keeps each section in its own view.
const char16_t* const kHeaderComments[] = {
    u"; Ivorel ODBC data sources as dsnconf read them (export /reg, or apply's backup):",
    u"; each one's entry in ODBC Data Sources, and its key with every value and subkey.",
    u"; Restore them with: reg import <this file> /reg:64",
    u"; It adds and overwrites; it removes nothing. Passwords stored in the data",
    u"; sources are in it: keep it as you keep passwords.",
};
// A line of hex data is broken once it reaches this many characters.
constexpr std::size_t kHexLineWidth = 77;
const char16_t* const kHexContinuation = u"\\\r\n  ";
constexpr std::size_t kContinuationIndent = 2;

std::u16string ascii(const std::string& text) {
  return std::u16string(text.begin(), text.end());
}

// A quoted name or string: backslash and quote escaped, as regedit does; a
// line break in a name (string data with one goes out as hex) as \r and \n,
// as Wine's regedit writes and reads it, so that the line stays one line.
void appendQuoted(std::u16string& out, std::u16string_view units) {
  out += u'"';
  std::size_t plain = 0;
  for (std::size_t i = 0; i < units.size(); ++i) {
    const char16_t c = units[i];
    if (c != u'\\' && c != u'"' && c != u'\r' && c != u'\n') continue;
    out.append(units, plain, i - plain);
    out += u'\\';
    out += c == u'\r' ? u'r' : c == u'\n' ? u'n' : c;
    plain = i + 1;
  }
  out.append(units, plain, std::u16string_view::npos);
  out += u'"';
}

// hex: or hex(N): and the bytes, continuing on further lines past the width.
std::u16string hexData(const RegistryValue& value, std::size_t column) {
  char prefix[24];
  if (value.type == REG_BINARY) {
    std::snprintf(prefix, sizeof prefix, "hex:");
  } else {
    std::snprintf(prefix, sizeof prefix, "hex(%lx):", static_cast<unsigned long>(value.type));
  }
  std::u16string out = ascii(prefix);
  column += out.size();
  const std::string& bytes = value.data;
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    char digits[3];
    std::snprintf(digits, sizeof digits, "%02x", static_cast<unsigned char>(bytes[i]));
    out += ascii(digits);
    if (i + 1 == bytes.size()) break;
    out += u',';
    column += 3;
    if (column >= kHexLineWidth) {
      out += kHexContinuation;
      column = kContinuationIndent;
    }
  }
  return out;
}

void appendData(std::u16string& out, const RegistryValue& value, std::size_t column) {
  if (value.type == REG_SZ && isPlainString(value.data)) {
    const std::u16string units = utf16LeUnits(value.data);
    appendQuoted(out, std::u16string_view(units).substr(0, units.size() - 1));
    return;
  }
  if (value.type == REG_DWORD && value.data.size() == 4) {
    unsigned long number = 0;
    for (std::size_t i = 4; i-- > 0;) {
      number = (number << 8) | static_cast<unsigned char>(value.data[i]);
    }
    char text[24];
    std::snprintf(text, sizeof text, "dword:%08lx", number);
    out += ascii(text);
    return;
  }
  out += hexData(value, column);
}

// One value line, "name"=data, with its line end.
void appendValueLines(std::u16string& out, const RegistryValue& value) {
  const std::size_t start = out.size();
  if (value.name.empty()) {
    out += u'@';
  } else {
    appendQuoted(out, wtf8ToUtf16(value.name));
  }
  out += u'=';
  appendData(out, value, out.size() - start);
  out += kLineEnd;
}

void appendKey(std::u16string& out, const std::string& path) {
  out += kLineEnd;
  out += u'[';
  out += wtf8ToUtf16(path);
  out += u']';
  out += kLineEnd;
}

}  // namespace

std::u16string regValueLines(const RegistryValue& value) {
  std::u16string out;
  appendValueLines(out, value);
  return out;
}

RegFileWriter::RegFileWriter(bool twoMachineViews) : twoMachineViews_(twoMachineViews) {
  text_ = u"Windows Registry Editor Version 5.00";
  text_ += kLineEnd;
  for (const char16_t* line : kHeaderComments) {
    text_ += kLineEnd;
    text_ += line;
  }
  text_ += kLineEnd;
}

void RegFileWriter::addList(const PlaceInventory& place) {
  if (place.dataSources.empty()) return;
  appendKey(text_, odbcIniPathOf(*place.place, twoMachineViews_) + "\\ODBC Data Sources");
  for (const FamilyDataSource& dataSource : place.dataSources) {
    appendValueLines(text_, {dataSource.name, REG_SZ, dataSource.entryData});
  }
}

void RegFileWriter::addDataSource(const Place& place, const FamilyDataSource& dataSource) {
  if (!dataSource.hasKey) return;
  const std::string key = odbcIniPathOf(place, twoMachineViews_) + "\\" + dataSource.name;
  appendKey(text_, key);
  for (const RegistryValue& property : dataSource.properties) appendValueLines(text_, property);
  for (const Subkey& subkey : dataSource.subkeys) {
    appendKey(text_, key + "\\" + subkey.path);
    for (const RegistryValue& value : subkey.values) appendValueLines(text_, value);
  }
}

void RegFileWriter::finish() {
  text_ += kLineEnd;
}

std::u16string regFileText(const Inventory& inventory, bool twoMachineViews) {
  RegFileWriter writer(twoMachineViews);
  for (const PlaceInventory& place : inventory.places) {
    writer.addList(place);
    for (const FamilyDataSource& dataSource : place.dataSources) {
      writer.addDataSource(*place.place, dataSource);
    }
  }
  writer.finish();
  return std::move(writer.text());
}

std::string utf16LeFileBytes(const std::u16string& text) {
  return "\xFF\xFE" + utf16LeBytes(text);
}

}  // namespace dsnconf
