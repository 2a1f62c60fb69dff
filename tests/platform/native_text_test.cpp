// The POSIX platform's bytes read as text and written back: every byte
// string comes back as it was, what is no UTF-8 included, so that names and
// values the registry or the command line hold survive the commands that
// read them as text.
#include "native_text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "base/unicode.h"

namespace dsnconf::test {
namespace {

TEST(NativeText, EveryByteStringComesBackAsItWas) {
  std::vector<std::string> cases = {
      "",
      "plain",
      "\xd0\x94\xd0\xb0\xd0\xbd\xd0\xbd\xd1\x8b\xd0\xb5",  // Данные
      "\xff\xfe",
      "\xed\xa0\x80\x80",  // a surrogate's three bytes, then a lone continuation byte
      "\xed\xb2\x80",      // the three bytes WTF-8 gives U+DC80
      "a\xc3",             // a sequence cut short at the end
  };
  std::mt19937 random(20261208);
  for (int i = 0; i < 2000; ++i) {
    std::string bytes(1 + random() % 12, '\0');
    for (char& byte : bytes) byte = static_cast<char>(0x80 + random() % 0x80);
    cases.push_back(bytes);
  }
  for (const std::string& bytes : cases) {
    EXPECT_EQ(nativeBytes(textOf(bytes)), bytes);
    EXPECT_EQ(nativeBytesOfUnits(unitsOfNative(bytes)), bytes);
  }
  EXPECT_EQ(textOf("\xd0\x94"), "\xd0\x94") << "UTF-8 is text as it is";
  EXPECT_EQ(unitsOfNative("a\xff"), u"a\xDCFF");
}

}  // namespace
}  // namespace dsnconf::test
