// The Wine backend's text handling: what reaches the program through Wine's
// code page, and how Wine's registry is read back into the cases' terms.
#include "wine_text.h"

#include <gtest/gtest.h>

namespace dsnconf::e2e::wine {
namespace {

struct Conversion {
  std::string bytes;
  std::string expected;
};

TEST(WineText, AnsiBytesBecomeTheUtf8TextWineTurnsBackIntoThem) {
  const Conversion cases[] = {
      {"plain /dsn", "plain /dsn"},
      {"caf\xE9", "caf\xC3\xA9"},        // Latin-1 range: the same code point
      {"\x80", "\xE2\x82\xAC"},          // the euro sign
      {"\x9F", "\xC5\xB8"},              // Y with diaeresis
      {"\x81\x8D", "\xC2\x81\xC2\x8D"},  // unassigned: the control characters
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Conversion& c : cases) EXPECT_EQ(ansiBytesAsUtf8(c.bytes), c.expected) << c.bytes;
}

TEST(WineText, AnsiBytesBecomeAUtf16RegFile) {
  EXPECT_EQ(ansiBytesAsUtf16File("a\xE9\x80"), std::string("\xFF\xFE"
                                                           "a\0\xE9\0\xAC\x20",
                                                           8));
  EXPECT_EQ(ansiBytesAsUtf16File(""), "\xFF\xFE");
}

TEST(WineText, UnicodeCasesAreUtf8AndBecomeAUtf16RegFile) {
  EXPECT_TRUE(isUtf8("plain"));
  EXPECT_TRUE(isUtf8("\xD0\x94 \xE6\x97\xA5 \xF0\x9F\x98\x80"));
  EXPECT_FALSE(isUtf8("caf\xE9"));
  EXPECT_FALSE(isUtf8("\xED\xA0\x80"));  // a surrogate's three bytes
  EXPECT_FALSE(isUtf8("\xD0"));
  // U+0414 and U+1F600, a pair.
  EXPECT_EQ(utf8AsUtf16File("\xD0\x94\xF0\x9F\x98\x80"),
            std::string("\xFF\xFE\x14\x04\x3D\xD8\x00\xDE", 8));
}

TEST(WineText, StringHexDataTurnsFromUtf8ToUtf16) {
  struct Conversion {
    std::string lines;
    std::string expected;  // empty: refused
  };
  const Conversion cases[] = {
      {"\"A\"=hex(1):61,00,62\n", "\"A\"=hex(1):61,00,00,00,62,00\n"},
      {"@=hex(2):d0,94,00\n", "@=hex(2):14,04,00,00\n"},
      {"\"M\"=hex(7):61,00,\\\n  62,00,00\n", "\"M\"=hex(7):61,00,00,00,62,00,00,00,00,00\n"},
      {"\"Q\"=\"\xD0\x94\"\n\"B\"=hex:d0,94\n\"D\"=dword:00000001\n",
       "\"Q\"=\"\xD0\x94\"\n\"B\"=hex:d0,94\n\"D\"=dword:00000001\n"},
      {"[HKEY_CURRENT_USER\\A]\r\n\"E\"=hex(1):\r\n", "[HKEY_CURRENT_USER\\A]\r\n\"E\"=hex(1):\n"},
      {"\"X\"=hex(1):e9,00\n", ""},
  };
  for (const Conversion& c : cases) {
    std::string out;
    EXPECT_EQ(stringHexAsUtf16(c.lines, out), !c.expected.empty()) << c.lines;
    if (!c.expected.empty()) {
      EXPECT_EQ(out, c.expected) << c.lines;
    }
  }
}

TEST(WineText, OutputLosesOnlyTheCarriageReturnsOfLineEnds) {
  EXPECT_EQ(withoutCarriageReturns("a\r\nb\r\n"), "a\nb\n");
  EXPECT_EQ(withoutCarriageReturns("a\rb\r\r\n"), "a\rb\r\n");
}

TEST(WineText, KeysUnderATreeAsideFromCase) {
  struct Case {
    const char* key;
    bool under;
  };
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC", true},
      {"hkey_local_machine\\Software\\odbc\\ODBC.INI\\X", true},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBCX", false},
      {"HKEY_LOCAL_MACHINE\\SOFTWARE", false},
      {"HKEY_CURRENT_USER\\SOFTWARE\\ODBC", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(isUnder(c.key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC"), c.under) << c.key;
  }
}

TEST(WineText, KeyHeadersLeaveOutDeletionsAndValues) {
  const std::string lines =
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\A]\r\n"
      "\"[Not]\"=\"a key\"\n"
      "[-HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\B]\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Other]\n";
  EXPECT_EQ(keyHeaders(lines),
            (std::vector<std::string>{"HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\A",
                                      "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"}));
}

TEST(WineText, RegBlocksKeepEachValueWithItsContinuationLines) {
  const std::string text =
      "Windows Registry Editor Version 5.00\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC]\n"
      "\n"
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll]\r\n"
      "@=\"default\"\n"
      "\"Quote \\\"d\\\" \\\\ Name\"=\"x\"\n"
      "\"Full\"=hex:41,41,\\\n"
      "  41,41\n"
      "\"Count\"=dword:00000041\n";
  const std::vector<RegBlock> blocks = regBlocks(text);
  ASSERT_EQ(blocks.size(), 2u);
  EXPECT_EQ(blocks[0].key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC");
  EXPECT_TRUE(blocks[0].values.empty());
  EXPECT_EQ(blocks[1].key, "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Payroll");
  const std::vector<RegValue>& values = blocks[1].values;
  ASSERT_EQ(values.size(), 4u);
  EXPECT_EQ(values[0].name, "@");
  EXPECT_EQ(values[1].name, "quote \"d\" \\ name");
  EXPECT_EQ(values[2].name, "full");
  EXPECT_EQ(values[2].lines, "\"Full\"=hex:41,41,\\\n  41,41\n");
  EXPECT_EQ(values[3].lines, "\"Count\"=dword:00000041\n");
}

TEST(WineText, ValueDataFollowsTheNameAndItsEqualsSign) {
  EXPECT_EQ(valueData("@=\"d\"\n"), "\"d\"\n");
  EXPECT_EQ(valueData("\"a\\\"=b\"=dword:00000001\n"), "dword:00000001\n");
  EXPECT_EQ(valueData("\"hex(1):\"=\"text\"\n"), "\"text\"\n");
}

TEST(WineText, RawStringValuesAreFound) {
  struct Case {
    const char* lines;
    bool any;           // any hex(1) value
    bool unterminated;  // one whose bytes lack the closing zero
  };
  const Case cases[] = {
      {"[K]\n\"S\"=\"text\"\n", false, false},
      {"[K]\n\"hex(1):\"=\"named so\"\n", false, false},
      {"[K]\n\"S\"=hex(1):61,62,00\n", true, false},
      {"[K]\n\"S\"=hex(1):61,62\n", true, true},
      {"[K]\n\"S\"=hex(1):\n", true, true},
      {"[K]\n\"S\"=hex(1):61,62,63,64,65,66,67,68,69,6a,6b,6c,6d,6e,6f,70,71,72,73,74,75,\\\n"
       "  76,00\n",
       true, false},
      {"[K]\n\"S\"=hex(1):61,00,\\\n  62\n", true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(hasRawStringValue(c.lines, false), c.any) << c.lines;
    EXPECT_EQ(hasRawStringValue(c.lines, true), c.unterminated) << c.lines;
  }
}

TEST(WineText, KeysTakeTheCaseSpellingOfEachLeadingPart) {
  CaseKeys keys;
  keys.add("[HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\Legacy]\n\"S\"=\"x\"\n");
  struct Case {
    const char* exported;
    const char* expected;
  };
  const Case cases[] = {
      {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\ODBC\\ODBC.INI\\Legacy",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\Legacy"},
      {"HKEY_LOCAL_MACHINE\\Software\\Wow6432Node\\ODBC\\ODBC.INI\\NewOne",
       "HKEY_LOCAL_MACHINE\\SOFTWARE\\WOW6432Node\\ODBC\\ODBC.INI\\NewOne"},
      {"HKEY_LOCAL_MACHINE\\Software\\ODBC", "HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC"},
      {"HKEY_CURRENT_USER\\Software", "HKEY_CURRENT_USER\\Software"},
  };
  for (const Case& c : cases) EXPECT_EQ(keys.respell(c.exported), c.expected);
}

TEST(WineText, OnlyKeysTheCaseNamesCountWithoutValues) {
  CaseKeys keys;
  keys.add(
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI]\n\n"
      "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\A]\n\"S\"=\"x\"\n");
  EXPECT_TRUE(keys.names("HKEY_CURRENT_USER\\Software\\ODBC\\ODBC.INI"));
  EXPECT_TRUE(keys.names("hkey_current_user\\software\\odbc\\odbc.ini\\a"));
  EXPECT_FALSE(keys.names("HKEY_CURRENT_USER\\SOFTWARE\\ODBC"));
  EXPECT_FALSE(keys.names("HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\B"));
}

TEST(WineText, ValuesFollowTheOrderTheCaseExpectsLast) {
  CaseKeys keys;
  const std::string key = "HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\A";
  keys.add("[" + key + "]\n\"Server\"=\"s\"\n\"Port\"=\"1\"\n\"Count\"=dword:00000001\n");
  auto names = [&](std::vector<RegValue> values) {
    keys.reorder(key, values);
    std::string joined;
    for (const RegValue& value : values) joined += value.name + " ";
    return joined;
  };
  // Wine enumerates by name; values that the case does not name go last.
  const std::vector<RegValue> exported = {
      {"added", ""}, {"count", ""}, {"port", ""}, {"server", ""}, {"zeta", ""}};
  EXPECT_EQ(names(exported), "server port count added zeta ");

  // The expected state, added after the seeded one, decides.
  keys.add("[" + key + "]\n\"Count\"=dword:00000002\n\"Server\"=\"t\"\n");
  EXPECT_EQ(names(exported), "count server added port zeta ");
}

}  // namespace
}  // namespace dsnconf::e2e::wine
