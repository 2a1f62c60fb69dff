#include "json_text_check.h"

#include <algorithm>
#include <nlohmann/json.hpp>

#include "dsn/desired_state.h"
#include "dsn/json_reader.h"

namespace dsnconf::fuzz {
namespace {

using json = nlohmann::ordered_json;

constexpr int kReaderDeepest = 200;

int depthOf(const json& value) {
  int deepest = 0;
  if (value.is_structured()) {
    for (const json& inner : value) deepest = std::max(deepest, depthOf(inner));
    ++deepest;
  }
  return deepest;
}

}  // namespace

std::string checkJsonText(std::string_view input) {
  std::string text(input);
  if (text.rfind("\xEF\xBB\xBF", 0) == 0) text.erase(0, 3);
  json ours;
  const bool read = readJson(text, ours);
  // The library takes a zero byte for the end of its input; a file holding
  // one is no JSON document, and the reader refuses it.
  if (text.find('\0') != std::string::npos) return read ? "read a text with a zero byte" : "";
  const json theirs = json::parse(text, nullptr, false);
  if (theirs.is_discarded()) {
    if (read) return "read a text the library refuses";
  } else if (!read) {
    if (depthOf(theirs) <= kReaderDeepest) return "refused a text the library reads";
  } else if (ours.dump() != theirs.dump()) {
    return "read " + ours.dump() + " where the library reads " + theirs.dump();
  }
  DesiredState state;
  std::string error;
  parseDesiredState(text, state, error);
  return "";
}

}  // namespace dsnconf::fuzz
