// JSON text read into a document whose objects keep their members in the
// order the text gives them. apply reads exports of tens of thousands of data
// sources: the JSON library's own ordered parse copies an object's earlier
// members whole each time the object grows, and its reader keeps every
// token's text for its messages; this one does neither.
#pragma once

#include <cstddef>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>

namespace dsnconf {

// False when the text is no JSON document, nests over 200 deep, or holds a
// zero byte (where the JSON library would stop reading and take what came
// before). A byte order mark before the text is passed over. A member named
// twice in an object keeps its first place and its last value.
bool readJson(const std::string& text, nlohmann::ordered_json& document);

// Each element of an array that is a member of the outermost object, as soon
// as it is read: the array's name, the element's index, the element. An
// element the visitor takes (returns true for) is left out of the document, so
// a file of tens of thousands of data sources is never held whole as values.
using ElementVisitor = std::function<bool(const std::string& member, std::size_t index,
                                          nlohmann::ordered_json& element)>;

// As readJson, handing the outermost object's arrays to `visit` element by
// element. A member of the outermost object named twice makes the text no
// document here: the elements of the first are already handed on.
bool readJson(const std::string& text, nlohmann::ordered_json& document,
              const ElementVisitor& visit);

}  // namespace dsnconf
