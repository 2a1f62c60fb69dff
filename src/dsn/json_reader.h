// JSON text read into a document whose objects keep their members in the
// order the text gives them. apply reads exports of tens of thousands of data
// sources: the JSON library's own ordered parse copies an object's earlier
// members whole each time the object grows, and its reader keeps every
// token's text for its messages; this one does neither.
#pragma once

#include <nlohmann/json.hpp>
#include <string>

namespace dsnconf {

// False when the text is no JSON document, nests over 200 deep, or holds a
// zero byte (where the JSON library would stop reading and take what came
// before). A member named twice in an object keeps its first place and its
// last value.
bool readJson(const std::string& text, nlohmann::ordered_json& document);

}  // namespace dsnconf
