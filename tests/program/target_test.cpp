// Targets keep their names whole up to the limit, and only the family's exact
// driver names count as the family's.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/dsn_args.h"

namespace dsnconf {
namespace {

TEST(IsKnownDriverName, MatchesTheThreeNamesExactly) {
  struct Case {
    const char* name;
    bool known;
  };
  const Case cases[] = {
      {"Ivorel ODBC Driver", true},
      {"Sarvonet ODBC Driver", true},
      {"Brenmoor ODBC Driver (32-bit)", true},
      {"ivorel odbc driver", false},
      {"Ivorel ODBC Driver ", false},
      {"Ivorel ODBC", false},
      {"", false},
  };
  for (const Case& c : cases) EXPECT_EQ(isKnownDriverName(c.name), c.known) << c.name;
}

struct Parsed {
  bool ok;
  DsnTarget target;
  std::uint32_t position;
};

Parsed parse(std::vector<std::string> words) {
  std::vector<char*> items;
  for (std::string& word : words) items.push_back(word.data());
  items.push_back(nullptr);
  ArgCursor cursor{static_cast<std::uint32_t>(words.size()), 0, items.data()};
  Parsed parsed{};
  testing::internal::CaptureStdout();
  parsed.ok = parseDsnTarget(cursor, parsed.target);
  testing::internal::GetCapturedStdout();
  parsed.position = cursor.position;
  return parsed;
}

TEST(ParseDsnTarget, KeepsNamesWholeUpToTheLimit) {
  const std::string longest(kMaxTargetName, 'n');
  const Parsed accepted = parse({"/Dsn", longest});
  ASSERT_TRUE(accepted.ok);
  EXPECT_EQ(accepted.target.kind, DsnKind::Registry);
  EXPECT_EQ(std::string(accepted.target.name), longest);

  EXPECT_FALSE(parse({"/dsn", longest + "n"}).ok);
}

TEST(ParseDsnTarget, AllConsumesOnlyTheModeWord) {
  const Parsed parsed = parse({"/ALL", "Server"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.target.kind, DsnKind::All);
  EXPECT_EQ(parsed.position, 1u);
}

TEST(ParseDsnTarget, FileTargetsKeepThePathAsTyped) {
  const Parsed parsed = parse({"/FDSN", "C:\\Data\\My File.DSN"});
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(parsed.target.kind, DsnKind::File);
  EXPECT_STREQ(parsed.target.name, "C:\\Data\\My File.DSN");
}

}  // namespace
}  // namespace dsnconf
