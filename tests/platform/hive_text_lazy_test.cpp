// A load that leaves values in the file walks their strings without decoding them: it accepts
// and rejects exactly the texts a decoding read does, with the same message, and notes the same
// value lines, which read back as the decoding read's values.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registry/text/reg_parser.h"
#include "registry/tree/reg_key.h"
#include "registry/tree/tree_sink.h"
#include "registry/tree/tree_text.h"
#include "registry/tree/value_lines.h"

namespace dsnconf::posix {
namespace {

// Value lines read back from the text itself.
class TextValues : public ValueSource {
 public:
  explicit TextValues(std::string text) : text_(std::move(text)) {}
  void readValues(RegKey& key, const std::vector<ValueSegment>& segments) const override {
    for (const ValueSegment& segment : segments) {
      RegParseResult parsed = readValueLines(
          key, std::string_view(text_).substr(segment.begin, segment.end - segment.begin), segment);
      EXPECT_TRUE(parsed.ok) << parsed.error;
    }
  }

 private:
  std::string text_;
};

TEST(HiveTextLazy, SkippedStringsAcceptAndRejectWhatDecodedOnesDo) {
  const std::string head = "Windows Registry Editor Version 5.00\n[HKEY_LOCAL_MACHINE\\K]\n";
  const std::vector<std::string> lines = {
      "\"plain\"=\"value\"",
      "\"esc\\\"aped\"=\"a \\\\ b \\\" c\"",
      "\"lone\\back\"=\"C:\\Program Files\\x\"",
      "\"ends in backslash\\\\\"=\"\\\\\"",
      "\"empty\"=\"\"",
      "@=\"default\"",
      "\"after\"=\"v\"  ; comment",
      "\"unclosed name=\"v\"",
      "\"unclosed data\"=\"v",
      "\"escaped close\"=\"v\\\"",
      "\"trailing\"=\"v\" x",
      "\"no equals\" \"v\"",
      "\"gone\"=-",
      "\"number\"=dword:0000002a",
      "\"bytes\"=hex:01,02",
      "\"quote \\\"\"=\"\\\"\"",
      "\"first\"=\"set again\"",
      "\"FIRST\"=-",
      "\"spaced\" = \"v\"",
      "\"trailing blank\"=\"v\" ",
      "\"crlf\"=\"v\"\r",
      "\"two\"=\"a\"=\"b\"",
      "\"name=with=equals\"=\"data=with=equals\"",
      "\"back\\\\\"=\"slash at end\\\\\"",
      "\"odd\\\"=\"x\"",
      "; a comment among the values",
      "",
  };
  for (const std::string& line : lines) {
    SCOPED_TRACE(line);
    const std::string text = head + "\"first\"=\"1\"\n" + line + "\n\"last\"=\"2\"\n";
    RegKey decodedRoot("HKEY_LOCAL_MACHINE", nullptr);
    RegTreeSink decodingSink(decodedRoot);
    const RegParseResult decoded = parseRegText(text, RegParseOptions{}, decodingSink);

    RegKey lazyRoot("HKEY_LOCAL_MACHINE", nullptr);
    RegTreeSink lazySink(lazyRoot, std::make_shared<TextValues>(text));
    const RegParseResult lazy = parseRegText(text, RegParseOptions{}, lazySink);

    EXPECT_EQ(lazy.ok, decoded.ok);
    EXPECT_EQ(lazy.error, decoded.error);
    EXPECT_EQ(lazy.validEnd, decoded.validEnd);
    if (!decoded.ok) continue;
    EXPECT_EQ(formatRegTrees({&lazyRoot}), formatRegTrees({&decodedRoot}));
  }
}

}  // namespace
}  // namespace dsnconf::posix
