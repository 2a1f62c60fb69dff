// Text conversions at their edges: WTF-8 keeps every UTF-16 string, surrogates
// without their pair included, and the Windows command-line rules split as the
// C runtime does.
#include "base/unicode.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/command_line_split.h"

namespace dsnconf::test {
namespace {

TEST(Wtf8, EveryUtf16StringComesBackAsItWas) {
  const std::u16string cases[] = {
      u"",
      u"ASCII",
      u"Данные 日本語",
      u"\U0001F600 emoji",
      std::u16string(u"a\0b", 3),
      std::u16string(1, u'\xD800'),  // a high surrogate alone
      std::u16string(1, u'\xDC80'),  // a low surrogate alone
      std::u16string(u"x\xDBFF\xDBFF"
                     u"y",
                     4),                   // two highs in a row
      std::u16string(u"\xDC00\xD800", 2),  // low before high: no pair
  };
  for (const std::u16string& units : cases) {
    const std::string text = utf16ToWtf8(units);
    EXPECT_EQ(wtf8ToUtf16(text), units) << text;
    EXPECT_EQ(isWellFormedUtf16(units), utf16ToUtf8(units) == text) << text;
  }
}

TEST(Wtf8, BytesThatAreNoTextBecomeReplacements) {
  EXPECT_EQ(wtf8ToUtf16("a\xff"
                        "b"),
            u"a\uFFFD"
            "b");
  EXPECT_EQ(wtf8ToUtf16("\xc0\xaf"), u"\uFFFD\uFFFD") << "an overlong form";
  EXPECT_EQ(utf8ToUtf16("\xed\xa0\x80"), u"\uFFFD\uFFFD\uFFFD") << "UTF-8 takes no surrogate";
  EXPECT_EQ(utf8FromUtf16Le(std::string("A\0\x3d\xd8", 4)), "A\xef\xbf\xbd")
      << "a high surrogate at the end";
}

TEST(Utf16Le, BytesAndUnitsAgreeAndAnOddByteIsDropped) {
  EXPECT_EQ(utf16LeBytes(u"A\u0416"), std::string("A\0\x16\x04", 4));
  EXPECT_EQ(utf16LeUnits(std::string("A\0\x16\x04\x7f", 5)), u"A\u0416");
}

TEST(SplitCommandLine, FollowsTheRuntimeRules) {
  struct Case {
    std::u16string line;
    std::vector<std::u16string> arguments;
  };
  const Case cases[] = {
      {u"prog a b", {u"prog", u"a", u"b"}},
      {u"\"C:\\Program Files\\d.exe\" x", {u"C:\\Program Files\\d.exe", u"x"}},
      {u"p \"R&D\" \"a b\"", {u"p", u"R&D", u"a b"}},
      {u"p a\\\\b \"c\\\\\"", {u"p", u"a\\\\b", u"c\\"}},
      {u"p \\\"q \"x\\\"y\"", {u"p", u"\"q", u"x\"y"}},
      {u"p \"a\"\"b\" \"\"", {u"p", u"a\"b", u""}},
      {u"p\t  \tДанные  ", {u"p", u"Данные"}},
      {u"p a\"b c\"d", {u"p", u"ab cd"}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(splitCommandLine(c.line), c.arguments) << utf16ToUtf8(c.line);
  }
}

}  // namespace
}  // namespace dsnconf::test
