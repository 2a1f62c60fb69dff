// A handler's result reaches the shell as an exit status that never reads as success by mistake.
#include "platform/exit_status.h"

#include <gtest/gtest.h>

TEST(ExitStatus, KeepsResultsWhoseLowByteIsNotZero) {
  struct Case {
    int result;
    int expected;
  };
  const Case cases[] = {{0, 0}, {1, 1}, {2, 2}, {-1, -1}, {1630, 1630}, {234, 234}};
  for (const Case& c : cases) EXPECT_EQ(dsnconf::toExitStatus(c.result), c.expected) << c.result;
}

TEST(ExitStatus, FailureWhoseLowByteIsZeroBecomesOne) {
  for (int result : {256, 512, 1280, 0x10000, -256}) {
    EXPECT_EQ(dsnconf::toExitStatus(result), 1) << result;
  }
}
