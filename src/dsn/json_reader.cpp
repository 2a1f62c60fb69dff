#include "dsn/json_reader.h"

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "base/unicode.h"

namespace dsnconf {
namespace {

using json = nlohmann::ordered_json;
using Members = std::vector<std::pair<std::string, json>>;

// Deeper than any document the tool writes or reads by far; the limit keeps
// a hostile file from exhausting the stack.
constexpr int kDeepest = 200;

// The members [first, end) of `members`, gathered where they move freely,
// put into one object at once.
json objectOf(Members& members, std::size_t first) {
  const std::size_t count = members.size() - first;
  json object(json::value_t::object);
  json::object_t& map = object.get_ref<json::object_t&>();
  map.reserve(count);
  // A name seen before: looked up in place while the object is small.
  constexpr std::size_t kSmall = 16;
  std::unordered_map<std::string, std::size_t> at;
  for (std::size_t i = first; i < members.size(); ++i) {
    auto& [name, value] = members[i];
    std::size_t index = map.size();
    if (count <= kSmall) {
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
  members.resize(first);
  return object;
}

// Recursive descent over the grammar of RFC 8259, accepting what the JSON
// library accepts and building the values it builds.
class Reader {
 public:
  Reader(std::string_view text, const ElementVisitor* visit) : text_(text), visit_(visit) {}

  bool document(json& out) {
    // A byte order mark before the text is passed over, as the library does.
    if (text_.substr(0, 3) == "\xEF\xBB\xBF") pos_ = 3;
    skipSpace();
    if (!value(out, 0)) return false;
    skipSpace();
    return pos_ == text_.size();
  }

 private:
  bool value(json& out, int depth) {
    if (pos_ == text_.size()) return false;
    switch (text_[pos_]) {
      case '{':
        return object(out, depth + 1);
      case '[':
        return array(out, depth + 1);
      case '"': {
        std::string text;
        if (!string(text)) return false;
        out = std::move(text);
        return true;
      }
      case 't':
        return literal("true", true, out);
      case 'f':
        return literal("false", false, out);
      case 'n':
        return literal("null", nullptr, out);
      default:
        return number(out);
    }
  }

  bool object(json& out, int depth) {
    if (depth > kDeepest) return false;
    ++pos_;
    // Members of every object still open, innermost last: one vector for the
    // whole document rather than one for each object.
    const std::size_t first = members_.size();
    const bool handsOn = depth == 1 && visit_;
    std::unordered_set<std::string> names;  // the outermost object's, when handed on
    skipSpace();
    if (take('}')) {
      out = json::object();
      return true;
    }
    do {
      skipSpace();
      std::string name;
      if (!at('"') || !string(name)) return false;
      if (handsOn && !names.insert(name).second) return false;
      skipSpace();
      if (!take(':')) return false;
      skipSpace();
      json member;
      if (!(handsOn && at('[') ? handOn(name, member, depth + 1) : value(member, depth))) {
        return false;
      }
      members_.emplace_back(std::move(name), std::move(member));
      skipSpace();
    } while (take(','));
    if (!take('}')) return false;
    out = objectOf(members_, first);
    return true;
  }

  bool array(json& out, int depth) {
    if (depth > kDeepest) return false;
    ++pos_;
    out = json::array();
    skipSpace();
    if (take(']')) return true;
    do {
      skipSpace();
      json element;
      if (!value(element, depth)) return false;
      out.push_back(std::move(element));
      skipSpace();
    } while (take(','));
    return take(']');
  }

  // An array of the outermost object: each element to the visitor as read.
  bool handOn(const std::string& name, json& out, int depth) {
    ++pos_;
    out = json::array();
    skipSpace();
    if (take(']')) return true;
    std::size_t index = 0;
    do {
      skipSpace();
      json element;
      if (!value(element, depth)) return false;
      if (!(*visit_)(name, index++, element)) out.push_back(std::move(element));
      skipSpace();
    } while (take(','));
    return take(']');
  }

  // After the opening quote: plain runs copied whole, escapes decoded,
  // UTF-8 checked as it passes.
  bool string(std::string& out) {
    ++pos_;
    for (;;) {
      const std::size_t start = pos_;
      while (pos_ < text_.size() && isPlain(static_cast<unsigned char>(text_[pos_]))) ++pos_;
      out.append(text_, start, pos_ - start);
      if (pos_ == text_.size()) return false;
      const auto c = static_cast<unsigned char>(text_[pos_]);
      if (c == '"') {
        ++pos_;
        return true;
      }
      if (c < 0x20) return false;
      if (c >= 0x80) {
        char32_t decoded = 0;
        const std::size_t length = decodeUtf8(text_, pos_, decoded);
        if (length == 0) return false;
        out.append(text_, pos_, length);
        pos_ += length;
      } else if (!escape(out)) {
        return false;
      }
    }
  }

  static bool isPlain(unsigned char c) { return c >= 0x20 && c < 0x80 && c != '"' && c != '\\'; }

  bool escape(std::string& out) {
    if (++pos_ == text_.size()) return false;
    const char c = text_[pos_++];
    switch (c) {
      case '"':
      case '\\':
      case '/':
        out += c;
        return true;
      case 'b':
        out += '\b';
        return true;
      case 'f':
        out += '\f';
        return true;
      case 'n':
        out += '\n';
        return true;
      case 'r':
        out += '\r';
        return true;
      case 't':
        out += '\t';
        return true;
      case 'u':
        return unicodeEscape(out);
      default:
        return false;
    }
  }

  // \uXXXX, a surrogate only as a pair of them.
  bool unicodeEscape(std::string& out) {
    char32_t unit = 0;
    if (!hex4(unit)) return false;
    if (unit >= 0xDC00 && unit <= 0xDFFF) return false;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      char32_t low = 0;
      if (!take('\\') || !take('u') || !hex4(low) || low < 0xDC00 || low > 0xDFFF) return false;
      unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
    }
    appendUtf8(out, unit);
    return true;
  }

  bool hex4(char32_t& unit) {
    if (text_.size() - pos_ < 4) return false;
    for (int i = 0; i < 4; ++i) {
      const char c = text_[pos_++];
      unit <<= 4;
      if (c >= '0' && c <= '9') {
        unit |= static_cast<char32_t>(c - '0');
      } else if ((c | 0x20) >= 'a' && (c | 0x20) <= 'f') {
        unit |= static_cast<char32_t>((c | 0x20) - 'a' + 10);
      } else {
        return false;
      }
    }
    return true;
  }

  // An integer that fits is one (unsigned unless negative); anything else a
  // double, as the JSON library makes them.
  bool number(json& out) {
    const std::size_t start = pos_;
    const bool negative = take('-');
    if (take('0')) {
    } else if (!digits()) {
      return false;
    }
    bool integral = true;
    if (take('.')) {
      integral = false;
      if (!digits()) return false;
    }
    if (at('e') || at('E')) {
      ++pos_;
      integral = false;
      if (!take('+')) take('-');
      if (!digits()) return false;
    }
    const char* first = text_.data() + start;
    const char* last = text_.data() + pos_;
    if (integral) {
      if (negative) {
        std::int64_t number = 0;
        if (std::from_chars(first, last, number).ec == std::errc()) {
          out = number;
          return true;
        }
      } else {
        std::uint64_t number = 0;
        if (std::from_chars(first, last, number).ec == std::errc()) {
          out = number;
          return true;
        }
      }
    }
    // Rare in these files: the library converts the digits it checked above.
    out = json::parse(first, last, nullptr, false);
    return !out.is_discarded();
  }

  bool digits() {
    const std::size_t start = pos_;
    while (pos_ < text_.size() && text_[pos_] >= '0' && text_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  template <typename Value>
  bool literal(std::string_view word, Value value, json& out) {
    if (text_.compare(pos_, word.size(), word) != 0) return false;
    pos_ += word.size();
    out = value;
    return true;
  }

  void skipSpace() {
    while (pos_ < text_.size() && (text_[pos_] == ' ' || text_[pos_] == '\n' ||
                                   text_[pos_] == '\r' || text_[pos_] == '\t')) {
      ++pos_;
    }
  }

  bool at(char c) const { return pos_ < text_.size() && text_[pos_] == c; }
  bool take(char c) {
    if (!at(c)) return false;
    ++pos_;
    return true;
  }

  std::string_view text_;
  const ElementVisitor* visit_ = nullptr;
  std::size_t pos_ = 0;
  Members members_;
};

}  // namespace

bool readJson(const std::string& text, json& document) {
  document = json();
  return Reader(text, nullptr).document(document);
}

bool readJson(const std::string& text, json& document, const ElementVisitor& visit) {
  document = json();
  return Reader(text, &visit).document(document);
}

}  // namespace dsnconf
