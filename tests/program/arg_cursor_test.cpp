// The argument cursor, the bounded copy and keyword normalisation behave at
// their edges as the front end relies on.
#include "cli/arg_cursor.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace dsnconf {
namespace {

TEST(ArgCursor, TakesPeeksAndStepsBackWithinBounds) {
  char a[] = "a", b[] = "b";
  char* items[] = {a, b, nullptr};
  ArgCursor cursor{2, 0, items};

  EXPECT_EQ(cursor.current(), nullptr);
  EXPECT_STREQ(cursor.peek(), "a");
  EXPECT_STREQ(cursor.next(), "a");
  EXPECT_STREQ(cursor.current(), "a");
  EXPECT_STREQ(cursor.next(), "b");
  EXPECT_EQ(cursor.peek(), nullptr);
  EXPECT_EQ(cursor.next(), nullptr);
  EXPECT_EQ(cursor.position, 2u);
  EXPECT_STREQ(cursor.current(), "b");

  cursor.stepBack();
  EXPECT_STREQ(cursor.peek(), "b");
  cursor.position = 0;
  cursor.stepBack();
  EXPECT_EQ(cursor.position, 0u);
}

TEST(ArgCursor, EmptyCursorYieldsNothing) {
  char* items[] = {nullptr};
  ArgCursor cursor{0, 0, items};
  EXPECT_EQ(cursor.next(), nullptr);
  EXPECT_EQ(cursor.peek(), nullptr);
  EXPECT_EQ(cursor.current(), nullptr);
  EXPECT_EQ(cursor.remaining(), 0u);
}

TEST(CopyBounded, CopiesAtMostNMinusOneAndAlwaysTerminates) {
  struct Case {
    const char* source;
    std::size_t n;
    const char* copied;
    std::size_t length;
  };
  const Case cases[] = {
      {"view", 10, "view", 4},
      {"123456789", 10, "123456789", 9},
      {"1234567890", 10, "123456789", 10},
      {"%s%n", 10, "%s%n", 4},
      {nullptr, 10, "", 0},
      {"", 1, "", 0},
      {"abc", 1, "", 3},
  };
  for (const Case& c : cases) {
    char buffer[16];
    std::memset(buffer, 'x', sizeof buffer);
    EXPECT_EQ(copyBounded(buffer, c.source, c.n), c.length) << c.n;
    EXPECT_STREQ(buffer, c.copied);
    EXPECT_EQ(buffer[c.n - 1], '\0');
    EXPECT_EQ(buffer[c.n], 'x') << "wrote past the buffer";
  }
}

TEST(CopyBounded, ZeroSizeWritesNothing) {
  char buffer[2] = {'x', 'y'};
  EXPECT_EQ(copyBounded(buffer, "abc", 0), 3u);
  EXPECT_EQ(buffer[0], 'x');
}

TEST(NormaliseKeyword, LowerCasesAsciiOnlyAndCutsToTheBuffer) {
  struct Case {
    const char* argument;
    const char* normalised;
  };
  const Case cases[] = {
      {"VIEW", "view"},
      {"/HeLp-me-please", "/help"},
      {"\xC4Z@[", "\xC4z@["},  // bytes above 0x7F and neighbours of A-Z stay
      {nullptr, ""},
  };
  for (const Case& c : cases) {
    char buffer[6];
    EXPECT_STREQ(normaliseKeyword(c.argument, buffer), c.normalised);
  }
}

}  // namespace
}  // namespace dsnconf
