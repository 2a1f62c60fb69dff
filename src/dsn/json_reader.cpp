#include "dsn/json_reader.h"

#include <cstddef>
#include <unordered_map>
#include <utility>
#include <vector>

namespace dsnconf {
namespace {

using json = nlohmann::ordered_json;

// Builds the document bottom up: an object's members are gathered where they
// move freely and put into the object once, at its end.
class DocumentBuilder {
 public:
  explicit DocumentBuilder(json& document) : document_(document) {}

  bool null() { return add(json(nullptr)); }
  bool boolean(bool value) { return add(json(value)); }
  bool number_integer(json::number_integer_t value) { return add(json(value)); }
  bool number_unsigned(json::number_unsigned_t value) { return add(json(value)); }
  bool number_float(json::number_float_t value, const json::string_t&) { return add(json(value)); }
  bool string(json::string_t& value) { return add(json(std::move(value))); }
  bool binary(json::binary_t& value) { return add(json::binary(std::move(value))); }

  bool start_object(std::size_t) {
    open_.emplace_back();
    open_.back().isObject = true;
    return true;
  }
  bool key(json::string_t& name) {
    open_.back().key = std::move(name);
    return true;
  }
  bool end_object() {
    Open done = std::move(open_.back());
    open_.pop_back();
    return add(objectOf(done.members));
  }
  bool start_array(std::size_t) {
    open_.emplace_back();
    open_.back().array = json::array();
    return true;
  }
  bool end_array() {
    json done = std::move(open_.back().array);
    open_.pop_back();
    return add(std::move(done));
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) {
    return false;
  }

 private:
  struct Open {
    bool isObject = false;
    json array;                                         // an array's elements so far
    std::vector<std::pair<std::string, json>> members;  // an object's, in order
    std::string key;                                    // the member whose value comes next
  };

  bool add(json&& value) {
    if (open_.empty()) {
      document_ = std::move(value);
    } else if (open_.back().isObject) {
      Open& object = open_.back();
      object.members.emplace_back(std::move(object.key), std::move(value));
    } else {
      open_.back().array.push_back(std::move(value));
    }
    return true;
  }

  static json objectOf(std::vector<std::pair<std::string, json>>& members) {
    json object(json::value_t::object);
    json::object_t& map = object.get_ref<json::object_t&>();
    map.reserve(members.size());
    // A name seen before: looked up in place while the object is small.
    constexpr std::size_t kSmall = 16;
    std::unordered_map<std::string, std::size_t> at;
    for (auto& [name, value] : members) {
      std::size_t index = map.size();
      if (members.size() <= kSmall) {
        index = static_cast<std::size_t>(map.find(name) - map.begin());
      } else {
        index = at.emplace(name, index).first->second;
      }
      if (index == map.size()) {
        map.emplace_back(std::move(name), std::move(value));
      } else {
        (map.begin() + static_cast<std::ptrdiff_t>(index))->second = std::move(value);
      }
    }
    return object;
  }

  json& document_;
  std::vector<Open> open_;
};

}  // namespace

bool readJson(const std::string& text, json& document) {
  DocumentBuilder builder(document);
  return json::sax_parse(text, &builder);
}

}  // namespace dsnconf
