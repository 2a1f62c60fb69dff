// Value lookups of the in-memory tree stay exact whether a key is small and
// scanned or large and indexed, through replacements and deletions; subkeys
// left in a source are made once each, whatever order lookups come in; values
// go back to their source only while it still holds all of them.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "registry/tree/reg_key.h"

namespace dsnconf::posix {
namespace {

std::string nameOf(int i) {
  return "Value" + std::to_string(i);
}

std::string upper(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

// The names of the key's values in enumeration order.
std::vector<std::string> names(const RegKey& key) {
  std::vector<std::string> result;
  for (const RegValue& value : key.values()) result.push_back(value.name);
  return result;
}

TEST(RegTree, LookupsStayExactAcrossKeySizes) {
  // Sizes on both sides of the point where a key starts to keep a name index.
  for (int count : {1, 15, 16, 17, 63, 64, 65, 66, 200}) {
    RegKey key("K", nullptr);
    std::vector<std::string> expected;
    for (int i = 0; i < count; ++i) {
      key.setValue(nameOf(i), REG_SZ, "first");
      expected.push_back(nameOf(i));
    }
    // Replacing in another case keeps the value's place and first spelling.
    for (int i = 0; i < count; i += 3) key.setValue(upper(nameOf(i)), REG_SZ, "second");
    // Deleting moves later values forward; a name set again goes to the end.
    for (int i = count - 1; i >= 0; i -= 4) {
      ASSERT_TRUE(key.deleteValue(upper(nameOf(i)))) << count << " " << i;
      EXPECT_FALSE(key.deleteValue(nameOf(i))) << count << " " << i;
      expected.erase(expected.begin() + i);
    }
    key.setValue(nameOf(count - 1), REG_SZ, "third");
    expected.push_back(nameOf(count - 1));
    key.setValue("New", REG_SZ, "fourth");
    expected.push_back("New");

    EXPECT_EQ(names(key), expected) << count;
    for (int i = 0; i < count; ++i) {
      const RegValue* value = key.findValue(upper(nameOf(i)));
      const bool deleted = (count - 1 - i) % 4 == 0 && i != count - 1;
      if (deleted) {
        EXPECT_EQ(value, nullptr) << count << " " << i;
        continue;
      }
      ASSERT_NE(value, nullptr) << count << " " << i;
      EXPECT_EQ(value->name, nameOf(i));
      const char* data = i == count - 1 ? "third" : (i % 3 == 0 ? "second" : "first");
      EXPECT_EQ(value->data, data) << count << " " << i;
    }
    ASSERT_NE(key.findValue("NEW"), nullptr);
    EXPECT_EQ(key.findValue("NEW")->data, "fourth");
    EXPECT_EQ(key.findValue("Missing"), nullptr);
  }
}

// Subkeys "S0".."S9", counting how often it is asked.
class CountingSubkeys : public SubkeySource {
 public:
  void readSubkeys(RegKey& key, std::size_t, std::size_t) const override {
    ++wholeReads;
    for (int i = 0; i < 10; ++i) key.makeChild("S" + std::to_string(i));
  }
  RegKey* readSubkey(RegKey& key, std::size_t, std::size_t,
                     const std::string& name) const override {
    ++singleReads;
    for (int i = 0; i < 10; ++i) {
      if (upper(name) == "S" + std::to_string(i)) return key.makeChild("S" + std::to_string(i));
    }
    return nullptr;
  }
  mutable int singleReads = 0;
  mutable int wholeReads = 0;
};

TEST(RegTree, PendingSubkeysAreMadeOnceWhateverTheLookups) {
  struct Step {
    const char* lookup;  // null: every subkey is asked for
    bool found;
    int singleReads;
    int wholeReads;
  };
  // The first lookup makes one subkey; the next makes them all, so that a walk
  // over thousands does not search the source once per subkey.
  const std::vector<std::vector<Step>> scripts = {
      {{"s3", true, 1, 0}, {"S3", true, 1, 0}, {"S4", true, 1, 1}, {"S9", true, 1, 1}},
      {{"Missing", false, 1, 0}, {"s5", true, 1, 1}, {"Missing", false, 1, 1}},
      {{"S2", true, 1, 0}, {nullptr, true, 1, 1}, {"S2", true, 1, 1}},
      {{nullptr, true, 0, 1}, {"S1", true, 0, 1}},
  };
  for (std::size_t n = 0; n < scripts.size(); ++n) {
    SCOPED_TRACE(n);
    auto source = std::make_shared<CountingSubkeys>();
    auto root = std::make_shared<RegKey>("HKEY_LOCAL_MACHINE", nullptr);
    root->deferSubkeys(source, 0, 1);
    RegKey* first = nullptr;
    for (const Step& step : scripts[n]) {
      SCOPED_TRACE(step.lookup != nullptr ? step.lookup : "every subkey");
      if (step.lookup == nullptr) {
        EXPECT_EQ(root->children().size(), 10u);
      } else {
        RegKey* found = root->findChild(step.lookup);
        EXPECT_EQ(found != nullptr, step.found);
        if (found != nullptr && first == nullptr) first = found;
      }
      EXPECT_EQ(source->singleReads, step.singleReads);
      EXPECT_EQ(source->wholeReads, step.wholeReads);
    }
    // A subkey made alone is the one kept when all are made.
    if (first != nullptr) {
      EXPECT_EQ(root->findChild(first->name()), first);
    }
    EXPECT_EQ(root->children().size(), 10u);
  }
}

// Values "a" and "b" as lines of a file would give them, counting how often
// they are read.
class CountingValues : public ValueSource {
 public:
  void readValues(RegKey& key, const std::vector<ValueSegment>& segments) const override {
    ++reads;
    for (const ValueSegment& segment : segments) {
      key.setValue(segment.begin == 0 ? "a" : "b", REG_SZ, "from " + std::to_string(segment.begin));
    }
  }
  mutable int reads = 0;
};

TEST(RegTree, ReleasedValuesComeBackOnlyWhileTheFileStillHoldsThemAll) {
  struct Case {
    const char* what;
    // Done to the key once its values were read, before the release.
    void (*change)(RegKey& key);
    bool released;
  };
  const std::vector<Case> cases = {
      {"unchanged", [](RegKey&) {}, true},
      {"a value set", [](RegKey& key) { key.setValue("c", REG_SZ, "memory"); }, false},
      {"a value replaced", [](RegKey& key) { key.setValue("A", REG_SZ, "memory"); }, false},
      {"a value deleted", [](RegKey& key) { key.deleteValue("b"); }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    auto source = std::make_shared<CountingValues>();
    RegKey key("K", nullptr);
    key.deferValues(source, ValueSegment{0, 10, 1});
    key.deferValues(source, ValueSegment{20, 30, 3});
    ASSERT_EQ(key.values().size(), 2u);
    c.change(key);
    const std::vector<std::string> before = names(key);
    const std::string firstData = key.values().front().data;

    // Only the source the values came from may take them back.
    EXPECT_FALSE(key.releaseValues(nullptr));
    EXPECT_EQ(key.releaseValues(source.get()), c.released);
    EXPECT_EQ(source->reads, 1);
    EXPECT_EQ(names(key), before);
    EXPECT_EQ(key.values().front().data, firstData);
    EXPECT_EQ(source->reads, c.released ? 2 : 1);
    // Read again, they can go once more; a change in memory keeps them.
    EXPECT_EQ(key.releaseValues(source.get()), c.released);
    key.setValue("after", REG_SZ, "kept");
    EXPECT_FALSE(key.releaseValues(source.get()));
    ASSERT_NE(key.findValue("after"), nullptr);
  }
  // Values never read from a source stay in memory.
  RegKey inMemory("K", nullptr);
  inMemory.setValue("x", REG_SZ, "1");
  EXPECT_FALSE(inMemory.releaseValues(nullptr));
  EXPECT_EQ(inMemory.values().size(), 1u);
}

}  // namespace
}  // namespace dsnconf::posix
