// How show prints a value: text as view prints it, every other type with its
// name, data that is no plain line of text as hex, and password data masked.
#include "dsn/shown_value.h"

#include <gtest/gtest.h>

#include <string>

#include "wide_data.h"

namespace dsnconf::test {
namespace {

using std::string_literals::operator""s;

struct ShownCase {
  const char* what;
  RegistryValue value;
  const char* masked;  // as show prints it
  const char* kept;    // with /secrets; null: the same
};

TEST(ShownValue, EachTypeSaysWhatItIsAndNoDataPassesForText) {
  const ShownCase cases[] = {
      {"a string", {"Server", REG_SZ, u"db\0"_w}, "'Server' = 'db'", nullptr},
      {"an empty string", {"E", REG_SZ, u"\0"_w}, "'E' = ''", nullptr},
      {"quotes inside", {"Q", REG_SZ, u"it's \"x\"\0"_w}, "'Q' = 'it's \"x\"'", nullptr},
      {"beyond ASCII",
       {"\xd0\x98\xd0\xbc\xd1\x8f", REG_SZ, u"\u0421\u0435\u0440\u0432\u0435\u0440 \u6570\u636e "
                                            u"\U0001F600\0"_w},
       "'\xd0\x98\xd0\xbc\xd1\x8f' = '\xd0\xa1\xd0\xb5\xd1\x80\xd0\xb2\xd0\xb5\xd1\x80 "
       "\xe6\x95\xb0\xe6\x8d\xae \xf0\x9f\x98\x80'",
       nullptr},
      {"a tab is text", {"T", REG_SZ, u"a\tb\0"_w}, "'T' = 'a\tb'", nullptr},
      {"a line break is not", {"N", REG_SZ, u"a\nb\0"_w}, "'N' = REG_SZ hex:61,00,0a,00,62,00,00,00",
       nullptr},
      {"no terminator", {"U", REG_SZ, u"ab"_w}, "'U' = REG_SZ hex:61,00,62,00", nullptr},
      {"a zero inside", {"Z", REG_SZ, u"a\0b\0"_w}, "'Z' = REG_SZ hex:61,00,00,00,62,00,00,00",
       nullptr},
      {"an odd length", {"O", REG_SZ, u"a\0"_w + "x"}, "'O' = REG_SZ hex:61,00,00,00,78", nullptr},
      {"a surrogate without its pair", {"S", REG_SZ, "\x00\xd8\0\0"s},
       "'S' = REG_SZ hex:00,d8,00,00", nullptr},
      {"no data at all", {"E", REG_SZ, ""}, "'E' = REG_SZ hex:", nullptr},
      {"expandable", {"P", REG_EXPAND_SZ, u"%TEMP%\\x\0"_w}, "'P' = REG_EXPAND_SZ '%TEMP%\\x'",
       nullptr},
      {"multi", {"M", REG_MULTI_SZ, u"a\0b c\0\0"_w}, "'M' = REG_MULTI_SZ 'a' 'b c'", nullptr},
      {"no strings", {"M", REG_MULTI_SZ, u"\0"_w}, "'M' = REG_MULTI_SZ (empty)", nullptr},
      {"an empty string among them", {"M", REG_MULTI_SZ, u"a\0\0b\0\0"_w},
       "'M' = REG_MULTI_SZ hex:61,00,00,00,00,00,62,00,00,00,00,00", nullptr},
      {"multi without its last terminator", {"M", REG_MULTI_SZ, u"a\0"_w},
       "'M' = REG_MULTI_SZ hex:61,00,00,00", nullptr},
      {"dword", {"Port", REG_DWORD, "\x38\x15\0\0"s}, "'Port' = REG_DWORD 5432 (0x00001538)",
       nullptr},
      {"big-endian", {"B", REG_DWORD_BIG_ENDIAN, "\0\0\x15\x38"s},
       "'B' = REG_DWORD_BIG_ENDIAN 5432 (0x00001538)", nullptr},
      {"qword", {"Q", REG_QWORD, "\xff\xff\xff\xff\xff\xff\xff\xff"s},
       "'Q' = REG_QWORD 18446744073709551615 (0xffffffffffffffff)", nullptr},
      {"a short dword", {"D", REG_DWORD, "\x38"}, "'D' = REG_DWORD hex:38", nullptr},
      {"binary", {"Blob", REG_BINARY, "\x01\xff"}, "'Blob' = REG_BINARY hex:01,ff", nullptr},
      {"none", {"0", REG_NONE, ""}, "'0' = REG_NONE hex:", nullptr},
      {"an unknown type", {"X", 42, "\x07"}, "'X' = REG_0x0000002a hex:07", nullptr},
      {"a password", {"PWD", REG_SZ, u"s3cret\0"_w}, "'PWD' = ********", "'PWD' = 's3cret'"},
      {"a password of any case, any length", {"pAsSwOrD", REG_SZ, u"x\0"_w},
       "'pAsSwOrD' = ********", "'pAsSwOrD' = 'x'"},
      {"a password of another type", {"Pwd", REG_BINARY, "\x01"},
       "'Pwd' = REG_BINARY ********", "'Pwd' = REG_BINARY hex:01"},
      {"a password that is no plain text", {"PWD", REG_SZ, u"ab"_w}, "'PWD' = ********",
       "'PWD' = REG_SZ hex:61,00,62,00"},
      {"a name that only begins like one", {"PWD2", REG_SZ, u"x\0"_w}, "'PWD2' = 'x'", nullptr},
  };
  for (const ShownCase& c : cases) {
    EXPECT_EQ(shownValue(c.value, PasswordData::LeftOut), c.masked) << c.what;
    EXPECT_EQ(shownValue(c.value, PasswordData::Kept), c.kept ? c.kept : c.masked) << c.what;
  }
}

}  // namespace
}  // namespace dsnconf::test
