// The document apply reads its file into: the same as the JSON library's
// ordered parse of the text, members in the text's order, and no document
// where the library finds none.
#include "dsn/json_reader.h"

#include <gtest/gtest.h>

#include <string>

#ifdef DSNCONF_FUZZ_CORPUS_DIR
#include <filesystem>

#include "json_text_check.h"
#include "test_support.h"
#endif

namespace dsnconf::test {
namespace {

using json = nlohmann::ordered_json;

// Many members, some named twice: the case where a name seen before is
// looked up by hash rather than in place.
std::string manyMembers() {
  std::string text = "{";
  for (int i = 0; i < 40; ++i) {
    text += "\"m" + std::to_string(i % 30) + "\": " + std::to_string(i) + ",";
  }
  return text + "\"last\": [1, {\"b\": 1, \"a\": 2, \"b\": 3}]}";
}

std::string nested(int depth) {
  return std::string(depth, '[') + std::string(depth, ']');
}

TEST(JsonReader, ReadsWhatTheLibraryReadsAndRefusesWhatItRefuses) {
  const std::string texts[] = {
      R"({"z": 1, "a": 2, "m": {"y": null, "b": [true, false, -3, 2.5, 18446744073709551615]}})",
      R"({"a": 1, "b": 2, "a": 3})",
      manyMembers(),
      // Strings: escapes, a pair of surrogates, UTF-8 as it stands.
      R"(["", "\"\\\/\b\f\n\r\t", "\u00e9\ud83d\ude00\u0000x", "Данные 日本語 😀", "\uD83D\uDE00"])",
      // Numbers: integers that fit, those that do not, fractions and exponents.
      "[0, -0, 9223372036854775807, -9223372036854775808, -9223372036854775809,"
      " 18446744073709551616, 1e2, 1E+2, 1.5e-3, -0.0]",
      " \t\r\n{ \"a\" : [ ] , \"b\" : { } } \n",
      "\xEF\xBB\xBF[1]",
      "\xEF\xBB\xBF\xEF\xBB\xBF[1]",
      " \xEF\xBB\xBF[1]",
      R"("just text")",
      "42",
      // Refused.
      "",
      " ",
      "{",
      R"({"a": })",
      "[1,]",
      "[,1]",
      R"({"a" 1})",
      R"({"a": 1,})",
      R"({1: 2})",
      "{} {}",
      "nul",
      "tru",
      "True",
      "01",
      "-",
      "1.",
      ".5",
      "+1",
      "1e",
      "0x10",
      R"("\ud83d")",
      R"("\ude00")",
      R"("\ud83d\u0041")",
      R"("\x")",
      R"("\u12G4")",
      "\"tab\there\"",
      "\"unterminated",
      "\"\xC3\x28\"",
      "\"\xED\xA0\x80\"",
      "\"\xF4\x90\x80\x80\"",
      "\"\xC0\xAF\"",
      "[1] x",
      "// comment\n1",
      nested(200),
  };
  for (const std::string& text : texts) {
    json read;
    const bool ours = readJson(text, read);
    const json theirs = json::parse(text, nullptr, false);
    ASSERT_EQ(ours, !theirs.is_discarded()) << text;
    if (ours) {
      EXPECT_EQ(read.dump(), theirs.dump()) << text;
    }
  }
}

TEST(JsonReader, RefusesNestingDeeperThanItsLimitAndZeroBytes) {
  json read;
  EXPECT_FALSE(readJson(nested(201), read));
  EXPECT_FALSE(readJson(std::string(100000, '['), read));
  using std::string_literals::operator""s;
  EXPECT_FALSE(readJson("{}\0"s, read));
  EXPECT_FALSE(readJson("[1,\0 2]"s, read));
}

#ifdef DSNCONF_FUZZ_CORPUS_DIR
TEST(FuzzCorpus, JsonTextInputsPassTheChecks) {
  namespace fs = std::filesystem;
  int replayed = 0;
  for (const auto& entry :
       fs::directory_iterator(fs::path(DSNCONF_FUZZ_CORPUS_DIR) / "json_text")) {
    EXPECT_EQ(fuzz::checkJsonText(readFile(entry.path().string())), "") << entry.path();
    ++replayed;
  }
  EXPECT_GT(replayed, 0);
}
#endif

}  // namespace
}  // namespace dsnconf::test
