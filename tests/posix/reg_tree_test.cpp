// Value lookups of the in-memory tree stay exact whether a key is small and
// scanned or large and indexed, through replacements and deletions.
#include "reg_tree.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

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

}  // namespace
}  // namespace dsnconf::posix
