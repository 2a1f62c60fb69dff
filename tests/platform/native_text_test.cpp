// The POSIX platform's 8-bit text read as code units and written back: every
// byte string comes back byte for byte, also where a surrogate written in
// UTF-8 form meets a byte that is no UTF-8 (read as a low surrogate, the two
// once became one code point).
#include "native_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

namespace dsnconf {
namespace {

TEST(NativeText, EveryByteStringComesBackAsItWas) {
  const std::string cases[] = {
      "plain",
      "caf\xc3\xa9 \xf0\x9f\x98\x80",
      "\xff\xfe lone bytes \x80",
      "\xed\xa0\x80 a high surrogate alone",
      "\xed\xb0\x80 a low surrogate alone",
      "\xed\xb2\xb7 a low surrogate that stands for a byte elsewhere",
      "\xed\xa5\x93\x99 a high surrogate, then a byte that is no UTF-8",
      "\xed\xa0\x80\xed\xb0\x80 both halves, each written alone",
      "\xed\xa0\x80\xed\xa0\x80\x80 two highs, then a stray byte",
  };
  for (const std::string& bytes : cases) {
    EXPECT_EQ(nativeBytesOfUnits(unitsOfNative(bytes)), bytes) << bytes;
    EXPECT_EQ(nativeBytes(textOf(bytes)), bytes) << bytes;
  }
  std::mt19937 random(20261208);
  std::uniform_int_distribution<int> byte(1, 255);
  for (int round = 0; round < 2000; ++round) {
    std::string bytes;
    for (int i = 0; i < 24; ++i) {
      // Surrogates written in UTF-8 form, often enough to meet every neighbour.
      if (byte(random) < 40) {
        bytes += "\xed";
        bytes += static_cast<char>(0xa0 + byte(random) % 32);
        bytes += static_cast<char>(0x80 + byte(random) % 64);
      } else {
        bytes += static_cast<char>(byte(random));
      }
    }
    ASSERT_EQ(nativeBytes(textOf(bytes)), bytes) << round;
  }
}

}  // namespace
}  // namespace dsnconf
