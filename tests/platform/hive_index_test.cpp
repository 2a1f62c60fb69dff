// A hive loaded through its index holds exactly what a whole read of the file gives; changes keep
// the index current, anything else makes it stale and ignored, and a file changed in place under
// a loaded hive fails the calls that need its values instead of giving or writing wrong data.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "registry/text/journal.h"
#include "registry/text/reg_writer.h"
#include "registry/tree/reg_key.h"
#include "registry/tree/tree_text.h"
#include "registry_fixture.h"

namespace dsnconf::test {
namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\n";
const std::string kSoftware = "[HKEY_LOCAL_MACHINE\\SOFTWARE";

class HiveIndexTest : public RegistryTest {
 protected:
  void SetUp() override {
    RegistryTest::SetUp();
    posix::Hive::setIndexThreshold(0);
  }

  std::string indexPath() const { return machineHive() + ".index"; }

  // The machine hive as a new process loads it, in canonical form; counts
  // the loads that went through the index.
  std::string load() {
    const std::uint64_t before = posix::Hive::indexedLoads();
    posix::Hive hive("HKEY_LOCAL_MACHINE", folder_);
    EXPECT_EQ(hive.load(), ERROR_SUCCESS);
    indexed_ = posix::Hive::indexedLoads() != before;
    return posix::formatRegTrees({&hive.root()});
  }

  std::string canonicalFile() {
    std::string canonical;
    std::string error;
    EXPECT_TRUE(posix::canonicalRegText(readFile(machineHive()), canonical, error)) << error;
    return canonical;
  }

  bool indexed_ = false;
};

struct Seed {
  const char* what;
  std::string text;
};

std::vector<Seed> seeds() {
  const std::string a = kSoftware + "\\A]\n";
  const std::string b = kSoftware + "\\B]\n";
  return {
      {"one section per key",
       kHeader + "\n" + a + "\"x\"=\"1\"\n\"y\"=dword:00000002\n\n" + b + "@=\"default\"\n"},
      {"a key in several sections, comments among its values",
       kHeader + a + "\"x\"=\"1\"\n; a comment\n\n\"y\"=\"2\"\n" + b + "\"z\"=\"3\"\n" + a +
           "\"x\"=\"again\"\n\"y\"=-\n\"w\"=\"4\"\n"},
      {"a key deleted with its subkeys and made again", kHeader + a + "\"x\"=\"1\"\n" + kSoftware +
                                                            "\\A\\C]\n\"v\"=\"1\"\n" + "[-" +
                                                            a.substr(1) + a + "\"y\"=\"2\"\n"},
      {"hex data over continuation lines",
       kHeader + a +
           "\"b\"=hex:00,01,02,03,04,05,06,07,08,09,0a,0b,0c,0d,0e,0f,10,11,12,13,14,\\\n"
           "  15,16,17,18,19,1a,1b,1c,1d,1e,1f\n\"m\"=hex(7):61,00,62,00,00\n"},
      {"CRLF line ends after a UTF-8 byte-order mark",
       "\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n\r\n" + kSoftware +
           "\\A]\r\n\"x\"=\"1\"\r\n\"y\"=\"\xC3\xA9\"\r\n"},
      {"journal entries, then one left unfinished",
       kHeader + a + "\"x\"=\"1\"\n\"y\"=\"2\"\n" + b + "\"z\"=\"3\"\n" +
           posix::journalEntry(a + "\"x\"=\"changed\"\n\"y\"=-\n") +
           posix::journalEntry("[-" + b.substr(1)) + "; dsnconf journal begin\n" + a +
           "\"x\"=\"torn\"\n"},
      {"values of the root key and names with blanks",
       kHeader + "[HKEY_LOCAL_MACHINE]\n\"r\"=\"root\"\n" + kSoftware +
           "\\With Blanks]\n\"a name\"=\"a value\"\n"},
  };
}

TEST_F(HiveIndexTest, LoadThroughTheIndexGivesWhatAWholeReadGives) {
  for (const Seed& seed : seeds()) {
    SCOPED_TRACE(seed.what);
    writeFile(machineHive(), seed.text);
    ::unlink(indexPath().c_str());
    const std::string expected = canonicalFile();

    EXPECT_EQ(load(), expected);
    EXPECT_FALSE(indexed_);
    EXPECT_EQ(load(), expected);
    EXPECT_TRUE(indexed_);
  }
}

// Keys below the root are made from the index as they are asked for: by name one at a time, or
// all at once. Any mix gives the tree a whole read gives.
TEST_F(HiveIndexTest, KeysMadeOneByOneOrAllAtOnceGiveTheWholeTree) {
  const std::string text = kHeader + kSoftware + "\\A]\n\"a\"=\"1\"\n" + kSoftware +
                           "\\A\\Deep\\Deeper]\n\"d\"=\"2\"\n" + kSoftware + "\\A\\Sibling]\n" +
                           kSoftware + "\\B]\n\"b\"=\"3\"\n" + kSoftware +
                           "\\B\\A]\n\"ba\"=\"4\"\n" + kSoftware + "\\C d]\n\"c\"=\"5\"\n";
  writeFile(machineHive(), text);
  const std::string expected = canonicalFile();
  posix::Hive whole("HKEY_LOCAL_MACHINE", folder_);
  ASSERT_EQ(whole.load(), ERROR_SUCCESS);
  ASSERT_EQ(posix::formatRegTrees({&whole.root()}), expected);

  const std::vector<std::vector<std::string>> lookups = {
      {"software", "a", "DEEP", "deeper"}, {"SOFTWARE", "B", "A"},  {"SOFTWARE", "C D"},
      {"SOFTWARE", "A", "Sibling"},        {"SOFTWARE", "Missing"}, {"SOFTWARE", "A", "Deeper"},
  };
  for (const auto& path : lookups) {
    SCOPED_TRACE(path.back());
    const std::uint64_t before = posix::Hive::indexedLoads();
    posix::Hive hive("HKEY_LOCAL_MACHINE", folder_);
    ASSERT_EQ(hive.load(), ERROR_SUCCESS);
    EXPECT_EQ(posix::Hive::indexedLoads(), before + 1);
    posix::RegKey* found = posix::findKey(hive.root(), path);
    posix::RegKey* wanted = posix::findKey(whole.root(), path);
    ASSERT_EQ(found == nullptr, wanted == nullptr);
    if (found != nullptr) {
      EXPECT_EQ(found->fullPath(), wanted->fullPath());
      EXPECT_EQ(found->values().size(), wanted->values().size());
      // The key found is the one a change goes to, not a second of the name.
      EXPECT_EQ(&found->parent()->obtainChild(path.back()), found);
    }
    EXPECT_EQ(posix::formatRegTrees({&hive.root()}), expected);
  }
}

TEST_F(HiveIndexTest, ChangesKeepTheIndexCurrent) {
  writeFile(machineHive(), seeds()[0].text);
  load();
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    // The last round's journal outgrows its limit: the hive is written anew.
    if (round == 2) posix::setJournalLimitForTests(1);
    {
      ScopedKey key;
      ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.out()),
                ERROR_SUCCESS);
      ASSERT_EQ(setString(key.get(), "x", "round " + std::to_string(round)), ERROR_SUCCESS);
      ASSERT_EQ(setString(key.get(), ("new " + std::to_string(round)).c_str(), "v"), ERROR_SUCCESS);
      if (round == 0) {
        ASSERT_EQ(RegDeleteValueA(key.get(), "y"), ERROR_SUCCESS);
      }
    }
    restart();
    const std::string expected = canonicalFile();
    EXPECT_EQ(load(), expected);
    EXPECT_TRUE(indexed_);
  }
  // The last round wrote the hive anew with its first change and appended its second.
  const std::string text = readFile(machineHive());
  EXPECT_EQ(text.find("journal begin"), text.rfind("journal begin"));
}

// Entries appended after the index was written are parsed at every load, until they are many:
// then a load reads the file whole and indexes them too.
TEST_F(HiveIndexTest, LongJournalPastTheIndexIsIndexedAnew) {
  // A hive larger than its journal will grow, so that no change rewrites it.
  std::string text = kHeader + kSoftware + "\\Padding]\n";
  for (int i = 0; text.size() < 600 * 1024; ++i) {
    text += "\"Pad" + std::to_string(i) + "\"=\"" + std::string(200, 'p') + "\"\n";
  }
  writeFile(machineHive(), text + seeds()[0].text.substr(kHeader.size()));
  load();
  const std::size_t indexed = readFile(machineHive()).size();
  {
    ScopedKey key;
    ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                            key.out()),
              ERROR_SUCCESS);
    // Entries of a little over 1 KB each: 300 KB past the index.
    for (int change = 0; change < 300; ++change) {
      ASSERT_EQ(setString(key.get(), "x", std::string(1000, static_cast<char>('a' + change % 26))),
                ERROR_SUCCESS);
    }
  }
  ASSERT_GT(readFile(machineHive()).size(), indexed + 256 * 1024);
  restart();
  const std::string expected = canonicalFile();
  EXPECT_NE(readFile(machineHive()).find("journal begin"), std::string::npos);
  EXPECT_EQ(load(), expected);
  EXPECT_FALSE(indexed_);
  EXPECT_EQ(load(), expected);
  EXPECT_TRUE(indexed_);
  // The new index covers the whole file, journal and all.
  const std::string index = readFile(indexPath());
  EXPECT_NE(index.find("\ncovers " + std::to_string(readFile(machineHive()).size()) + " "),
            std::string::npos);
}

TEST_F(HiveIndexTest, StaleOrDamagedIndexIsIgnoredAndWrittenAnew) {
  // Each damage gets the paths of the hive and of its index.
  using Damage = std::function<void(const std::string&, const std::string&)>;
  const std::vector<std::pair<const char*, Damage>> damages = {
      {"the hive written anew by another program",
       [](const std::string& hive, const std::string&) { writeFile(hive, seeds()[1].text); }},
      {"an entry appended by another program",
       [](const std::string& hive, const std::string&) {
         std::ofstream(hive, std::ios::app)
             << posix::journalEntry(kSoftware + "\\A]\n\"x\"=\"appended\"\n");
       }},
      {"the index cut short",
       [](const std::string&, const std::string& index) {
         writeFile(index, readFile(index).substr(0, readFile(index).size() / 2));
       }},
      {"one byte of a key line changed",
       [](const std::string&, const std::string& index) {
         std::string text = readFile(index);
         text[text.rfind("\nk ") + 3] ^= 1;
         writeFile(index, text);
       }},
      {"one byte of the stamp line changed",
       [](const std::string&, const std::string& index) {
         std::string text = readFile(index);
         text[text.find("\nfile ") + 8] ^= 1;
         writeFile(index, text);
       }},
      {"other text in place of the index",
       [](const std::string&, const std::string& index) { writeFile(index, "x\n"); }},
  };
  for (const auto& [what, damage] : damages) {
    SCOPED_TRACE(what);
    writeFile(machineHive(), seeds()[0].text);
    load();
    damage(machineHive(), indexPath());
    const std::string expected = canonicalFile();
    EXPECT_EQ(load(), expected);
    EXPECT_FALSE(indexed_);
    EXPECT_EQ(load(), expected);
    EXPECT_TRUE(indexed_);
  }
}

TEST_F(HiveIndexTest, SmallAndUtf16HivesGetNoIndex) {
  posix::Hive::setIndexThreshold(posix::Hive::kDefaultIndexThreshold);
  writeFile(machineHive(), seeds()[0].text);
  load();
  EXPECT_FALSE(std::filesystem::exists(indexPath()));

  posix::Hive::setIndexThreshold(0);
  std::string utf16 = "\xFF\xFE";
  const std::string text = seeds()[0].text;
  for (char c : text) utf16 += std::string{c, '\0'};
  writeFile(machineHive(), utf16);
  const std::string expected = canonicalFile();
  EXPECT_EQ(load(), expected);
  EXPECT_EQ(load(), expected);
  EXPECT_FALSE(indexed_);
  EXPECT_FALSE(std::filesystem::exists(indexPath()));
}

// The values of a loaded hive are read when first needed; the file changing in place before then
// (which no program of ours does) must not pass off wrong values nor let anything be written.
TEST_F(HiveIndexTest, HiveChangedInPlaceUnderALoadedOneFailsAndIsNotWritten) {
  const std::vector<std::pair<const char*, std::function<std::string(const std::string&)>>>
      changes = {
          {"cut short", [](const std::string& text) { return text.substr(0, text.size() - 20); }},
          {"a value line overwritten",
           [](const std::string& text) {
             std::string changed = text;
             changed.replace(changed.rfind("@=\"default\""), 5, "?????");
             return changed;
           }},
      };
  for (const bool throughIndex : {false, true}) {
    for (const auto& [what, change] : changes) {
      SCOPED_TRACE(std::string(what) + (throughIndex ? ", loaded through the index" : ""));
      writeFile(machineHive(), seeds()[0].text);
      if (throughIndex) load();
      restart();
      ScopedKey key;
      ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\B", 0,
                              KEY_ALL_ACCESS | KEY_WOW64_64KEY, key.out()),
                ERROR_SUCCESS);
      // In place: the same file, opened for writing without being replaced.
      const std::string changed = change(readFile(machineHive()));
      {
        std::fstream file(machineHive(), std::ios::in | std::ios::out | std::ios::binary);
        file.write(changed.data(), static_cast<std::streamsize>(changed.size()));
      }
      if (changed.size() < seeds()[0].text.size()) {
        ASSERT_EQ(::truncate(machineHive().c_str(), static_cast<off_t>(changed.size())), 0);
      }

      testing::internal::CaptureStderr();
      std::string value;
      EXPECT_EQ(getString(key.get(), "", value), ERROR_BADDB);
      EXPECT_EQ(setString(key.get(), "new", "value"), ERROR_BADDB);
      ScopedKey other;
      EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, "SOFTWARE\\A", 0, KEY_READ | KEY_WOW64_64KEY,
                              other.out()),
                ERROR_BADDB);
      const std::string err = testing::internal::GetCapturedStderr();
      EXPECT_EQ(err.find("dsnconf: registry hive " + machineHive() + " cannot be read: "), 0u)
          << err;
      EXPECT_EQ(std::count(err.begin(), err.end(), '\n'), 1) << err;
      EXPECT_EQ(readFile(machineHive()), changed);
    }
  }
}

// A change that finds its hive replaced reads it whole and indexes it under the lock it holds,
// and holds that lock to the end: another writer waits until the change is in the file.
TEST_F(HiveIndexTest, AChangeThatReadsTheHiveAnewKeepsItsLock) {
  writeFile(machineHive(), seeds()[0].text);
  posix::Hive hive("HKEY_LOCAL_MACHINE", folder_);
  ASSERT_EQ(hive.load(), ERROR_SUCCESS);
  // Replaced as a copy dropped in would be, without an index.
  const std::string replaced = seeds()[0].text + kSoftware + "\\C]\n\"c\"=\"3\"\n";
  writeFile(machineHive() + ".new", replaced);
  ASSERT_EQ(::rename((machineHive() + ".new").c_str(), machineHive().c_str()), 0);
  ::unlink(indexPath().c_str());

  bool lockedAfterReading = false;
  ASSERT_EQ(hive.change([&](std::string& body) {
    const int other = ::open((machineHive() + ".lock").c_str(), O_RDWR | O_CLOEXEC);
    EXPECT_GE(other, 0);
    lockedAfterReading = ::flock(other, LOCK_EX | LOCK_NB) != 0;
    ::close(other);
    posix::appendSectionLine(body, "HKEY_LOCAL_MACHINE\\SOFTWARE\\D");
    return ERROR_SUCCESS;
  }),
            ERROR_SUCCESS);
  EXPECT_TRUE(lockedAfterReading);
  ASSERT_NE(posix::findKey(hive.root(), {"SOFTWARE", "C"}), nullptr);
  ASSERT_NE(posix::findKey(hive.root(), {"SOFTWARE", "D"}), nullptr);
  // The index written on the way describes the file with the change in it.
  EXPECT_EQ(load(), canonicalFile());
  EXPECT_TRUE(indexed_);
}

// The stamp line holds fixed-width lower-case hex fields and reads back as the stamp it was made
// from, at the edges of every field's range.
TEST(HiveIndexStamp, FieldsAreFixedWidthHexAndReadBack) {
  struct Case {
    posix::FileStamp stamp;
    const char* fields;
  };
  const unsigned long long most = ~0ull;
  const std::vector<Case> cases = {
      {{0, 0, 0, {0, 0}, {0, 0}},
       "0000000000000000 0000000000000000 0000000000000000 0000000000000000.00000000 "
       "0000000000000000.00000000"},
      {{0xfe00, 0xa7a35d, 6033265, {0x6b1777ab, 0x36ee2514}, {1, 999999999}},
       "000000000000fe00 0000000000a7a35d 00000000005c0f71 000000006b1777ab.36ee2514 "
       "0000000000000001.3b9ac9ff"},
      {{most, most, most, {0x7fffffffffffffff, 0}, {0, 0}},
       "ffffffffffffffff ffffffffffffffff ffffffffffffffff 7fffffffffffffff.00000000 "
       "0000000000000000.00000000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fields);
    const std::string line = posix::formatStampLine(c.stamp);
    EXPECT_EQ(line.substr(0, line.rfind(' ')), std::string("file ") + c.fields);
    EXPECT_EQ(line.size(), std::string("file ").size() + std::string(c.fields).size() + 10);
    posix::FileStamp back;
    ASSERT_TRUE(posix::parseStampLine(line, back));
    EXPECT_TRUE(back == c.stamp);
  }
}

}  // namespace
}  // namespace dsnconf::test
