// A key whose last handle is closed gives its values back to the hive file and reads them again
// when opened anew: what every open sees is what a whole read of the file gives, and no change
// made by this process or appended by another is lost on the way.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hive_store.h"
#include "hive_text.h"
#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";
const std::string kKeyA = "HKEY_LOCAL_MACHINE\\SOFTWARE\\A";

class ValueReleaseTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    posix::Hive::setIndexThreshold(0);
  }

  std::vector<EnumeratedValue> valuesOfA() {
    ScopedKey key;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            key.out()),
              ERROR_SUCCESS);
    return enumerate(key.get());
  }

  // What a new process reads from the file.
  std::vector<EnumeratedValue> valuesOfAInFile() {
    restart();
    std::vector<EnumeratedValue> values = valuesOfA();
    restart();
    return values;
  }
};

TEST_F(ValueReleaseTest, ReopenedKeysSeeTheFileAndEveryChange) {
  struct Case {
    const char* what;
    std::string text;
  };
  const std::vector<Case> cases = {
      {"one section", kHeader + "[" + kKeyA + "]\n\"x\"=\"1\"\n\"y\"=dword:00000002\n"},
      {"sections and journal entries",
       kHeader + "[" + kKeyA + "]\n\"x\"=\"1\"\n\"y\"=\"2\"\n[" + kKeyA + "\\B]\n\"z\"=\"3\"\n[" +
           kKeyA + "]\n\"w\"=hex:01,02\n" +
           posix::journalEntry("[" + kKeyA + "]\n\"x\"=\"changed\"\n\"y\"=-\n")},
  };
  for (const bool indexed : {false, true}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (indexed ? ", through the index" : ""));
      writeFile(machineHive(), c.text);
      if (indexed) valuesOfAInFile();
      restart();
      const std::vector<EnumeratedValue> initial = valuesOfA();
      ASSERT_FALSE(initial.empty());
      EXPECT_EQ(valuesOfA(), initial);

      // A change through one handle, seen by the next open.
      {
        ScopedKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0,
                                KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.out()),
                  ERROR_SUCCESS);
        ASSERT_EQ(setString(key.get(), "x", "mine"), ERROR_SUCCESS);
      }
      std::vector<EnumeratedValue> expected = valuesOfA();
      EXPECT_EQ(expected.front(), (EnumeratedValue{"x", REG_SZ, std::string("mine\0", 5)}));

      // An entry another process appends while the key's values are back in
      // the file is applied on top of them at this process's next change.
      posix::Hive other("HKEY_LOCAL_MACHINE", folder_);
      ASSERT_EQ(other.change([](std::string& body) {
        posix::appendSectionLine(body, kKeyA);
        posix::appendValueLine(body, "theirs", REG_SZ, std::string("t\0", 2));
        return ERROR_SUCCESS;
      }),
                ERROR_SUCCESS);
      {
        ScopedKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0,
                                KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.out()),
                  ERROR_SUCCESS);
        ASSERT_EQ(setString(key.get(), "ours", "o"), ERROR_SUCCESS);
      }
      expected.push_back({"theirs", REG_SZ, std::string("t\0", 2)});
      expected.push_back({"ours", REG_SZ, std::string("o\0", 2)});
      EXPECT_EQ(valuesOfA(), expected);
      EXPECT_EQ(valuesOfAInFile(), expected);
    }
  }
}

// Two handles on one key: closing the first leaves the second its values.
TEST_F(ValueReleaseTest, AKeyStillOpenKeepsItsValues) {
  writeFile(machineHive(), kHeader + "[" + kKeyA + "]\n\"x\"=\"1\"\n");
  restart();
  ScopedKey second;
  ASSERT_EQ(
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_READ | KEY_WOW64_64KEY, second.out()),
      ERROR_SUCCESS);
  const std::vector<EnumeratedValue> before = enumerate(second.get());
  EXPECT_EQ(valuesOfA(), before);
  EXPECT_EQ(enumerate(second.get()), before);
  std::string value;
  EXPECT_EQ(getString(second.get(), "x", value), ERROR_SUCCESS);
  EXPECT_EQ(value, "1");
}

}  // namespace
}  // namespace dsnconf::test
