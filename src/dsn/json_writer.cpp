#include "dsn/json_writer.h"

#include <cstdio>

namespace dsnconf {

void appendJsonString(std::string& out, std::string_view text) {
  out += '"';
  std::size_t plain = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (c >= 0x20 && c != '"' && c != '\\') continue;
    out.append(text, plain, i - plain);
    plain = i + 1;
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default: {
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
        out += escaped;
      }
    }
  }
  out.append(text, plain, std::string_view::npos);
  out += '"';
}

void JsonWriter::indent(std::size_t levels) {
  out_.append(indent_ + 2 * levels, ' ');
}

void JsonWriter::beforeValue() {
  if (levels_.empty() || !levels_.back().array) return;
  out_ += levels_.back().empty ? "\n" : ",\n";
  levels_.back().empty = false;
  indent(levels_.size());
}

void JsonWriter::open(char bracket, bool array) {
  beforeValue();
  out_ += bracket;
  levels_.push_back({array, true});
}

void JsonWriter::close(char bracket) {
  const bool empty = levels_.back().empty;
  levels_.pop_back();
  if (!empty) {
    out_ += '\n';
    indent(levels_.size());
  }
  out_ += bracket;
}

void JsonWriter::beginObject() {
  open('{', false);
}

void JsonWriter::endObject() {
  close('}');
}

void JsonWriter::beginArray() {
  open('[', true);
}

void JsonWriter::endArray() {
  close(']');
}

void JsonWriter::key(std::string_view name) {
  out_ += levels_.back().empty ? "\n" : ",\n";
  levels_.back().empty = false;
  indent(levels_.size());
  out_ += '"';
  out_ += name;
  out_ += "\": ";
}

void JsonWriter::string(std::string_view text) {
  beforeValue();
  appendJsonString(out_, text);
}

void JsonWriter::number(std::uint64_t number) {
  beforeValue();
  out_ += std::to_string(number);
}

void JsonWriter::boolean(bool value) {
  beforeValue();
  out_ += value ? "true" : "false";
}

void JsonWriter::null() {
  beforeValue();
  out_ += "null";
}

void JsonWriter::value(const nlohmann::ordered_json& value) {
  if (value.is_string()) {
    string(value.get_ref<const std::string&>());
  } else if (value.is_number_unsigned()) {
    number(value.get<std::uint64_t>());
  } else if (value.is_boolean()) {
    boolean(value.get<bool>());
  } else if (value.is_array()) {
    beginArray();
    for (const nlohmann::ordered_json& element : value) this->value(element);
    endArray();
  } else if (value.is_object()) {
    beginObject();
    for (const auto& [name, member] : value.items()) {
      // A name the library holds may need escaping, unlike the writer's own.
      std::string escaped;
      appendJsonString(escaped, name);
      key(std::string_view(escaped).substr(1, escaped.size() - 2));
      this->value(member);
    }
    endObject();
  } else {
    // Signed numbers and null, as the library writes them.
    beforeValue();
    out_ += value.dump();
  }
}

}  // namespace dsnconf
