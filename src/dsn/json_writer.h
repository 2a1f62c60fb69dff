// JSON text written as it is made, in the layout of the JSON library's
// dump(2): members and elements one to a line, indented by two blanks a
// level, "{}" and "[]" when empty. Export writes tens of thousands of data
// sources: building each as a tree and then serialising it took twice the
// time of reading them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>
#include <vector>

namespace dsnconf {

class JsonWriter {
 public:
  // Appends to `out`; the outermost value starts at `indent` blanks, where
  // the caller has put the cursor already.
  JsonWriter(std::string& out, std::size_t indent) : out_(out), indent_(indent) {}

  void beginObject();
  void endObject();
  void beginArray();
  void endArray();
  // An object's member name, one that needs no escaping; its value follows.
  void key(std::string_view name);

  // Text that is UTF-8, escaped as the library escapes it.
  void string(std::string_view text);
  void number(std::uint64_t number);
  void boolean(bool value);
  void null();
  // A value the library holds, written in the same layout.
  void value(const nlohmann::ordered_json& value);

 private:
  // The line break and indentation before an array's element.
  void beforeValue();
  void open(char bracket, bool array);
  void close(char bracket);
  void indent(std::size_t levels);

  struct Level {
    bool array;
    bool empty;
  };
  std::string& out_;
  std::size_t indent_;
  std::vector<Level> levels_;
};

// A JSON string's text as the library writes it: quoted, with '"', '\' and
// control characters escaped and everything else, UTF-8, as it is.
void appendJsonString(std::string& out, std::string_view text);

}  // namespace dsnconf
