// The document apply reads its file into: the same as the JSON library's
// ordered parse of the text, members in the text's order, for every shape of
// document, and no document for text that is none.
#include "dsn/json_reader.h"

#include <gtest/gtest.h>

#include <string>

namespace dsnconf::test {
namespace {

using json = nlohmann::ordered_json;

// Many members, some named twice: the case where a name seen before is
// looked up by hash rather than in place.
std::string manyMembers() {
  std::string text = "{";
  for (int i = 0; i < 40; ++i)
    text += "\"m" + std::to_string(i % 30) + "\": " + std::to_string(i) + ",";
  return text + "\"last\": [1, {\"b\": 1, \"a\": 2, \"b\": 3}]}";
}

TEST(JsonReader, ReadsWhatTheLibraryReads) {
  const std::string documents[] = {
      R"({"z": 1, "a": 2, "m": {"y": null, "b": [true, false, -3, 2.5, 18446744073709551615]}})",
      R"({"a": 1, "b": 2, "a": 3})",
      R"([{}, [], "", "\u00e9\ud83d\ude00\n", {"": {"": []}}])",
      R"("just text")",
      "  42  ",
      manyMembers(),
  };
  for (const std::string& text : documents) {
    json read;
    ASSERT_TRUE(readJson(text, read)) << text;
    EXPECT_EQ(read.dump(), json::parse(text).dump()) << text;
  }
}

TEST(JsonReader, RefusesWhatIsNoDocument) {
  for (const char* text : {"", "{", R"({"a": })", "[1,]", R"({"a" 1})", "{} {}", "nul"}) {
    json read;
    EXPECT_FALSE(readJson(text, read)) << text;
  }
}

}  // namespace
}  // namespace dsnconf::test
