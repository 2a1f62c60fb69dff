// A key whose last handle is closed gives its values back to the hive file and reads them again
// when opened anew: what every open sees is what a whole read of the file gives, and no change
// made by this process or appended by another is lost on the way.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "registry/store/hive.h"
#include "registry/text/journal.h"
#include "registry/text/reg_writer.h"
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

// Keys read in file order come from a few reads ahead of the walk; in any other order each key
// reads its own lines. Either way every key gets exactly its own values, also at the file's end.
TEST_F(ValueReleaseTest, KeysReadInAnyOrderGetTheirOwnValues) {
  constexpr int kKeys = 400;
  const auto keyName = [](int i) { return "K" + std::to_string(1000 + i); };
  const auto valueOf = [](int i, int v) {
    return std::string(static_cast<std::size_t>(20 + (i * 7 + v) % 90),
                       static_cast<char>('a' + v)) +
           std::to_string(i);
  };
  std::string text = kHeader;
  for (int i = 0; i < kKeys; ++i) {
    text += "\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Walk\\" + keyName(i) + "]\n";
    for (int v = 0; v < 10; ++v) {
      text += "\"V" + std::to_string(v) + "\"=\"" + valueOf(i, v) + "\"\n";
    }
  }
  ASSERT_GT(text.size(), 4u * 64 * 1024);
  writeFile(machineHive(), text);

  std::vector<std::vector<int>> orders(3);
  for (int i = 0; i < kKeys; ++i) {
    orders[0].push_back(i);
    orders[1].push_back(kKeys - 1 - i);
    orders[2].push_back((i * 37) % kKeys);
  }
  for (const bool indexed : {false, true}) {
    for (std::size_t n = 0; n < orders.size(); ++n) {
      SCOPED_TRACE(std::to_string(n) + (indexed ? ", through the index" : ""));
      if (!indexed) ::unlink((machineHive() + ".index").c_str());
      restart();
      for (int i : orders[n]) {
        ScopedKey key;
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, ("SOFTWARE\\Walk\\" + keyName(i)).c_str(), 0,
                                KEY_READ | KEY_WOW64_64KEY, key.out()),
                  ERROR_SUCCESS);
        std::vector<EnumeratedValue> expected;
        for (int v = 0; v < 10; ++v) {
          expected.push_back(
              {"V" + std::to_string(v), REG_SZ, valueOf(i, v) + std::string(1, '\0')});
        }
        ASSERT_EQ(enumerate(key.get()), expected) << keyName(i);
      }
    }
  }
}

}  // namespace
}  // namespace dsnconf::test
