// Moving a finished export into place: never over an existing file without
// leave to replace it, and the temporary file gone once it is placed.
#include <gtest/gtest.h>

#include <filesystem>

#include "platform/text_io.h"
#include "test_support.h"

namespace dsnconf::test {
namespace {

struct PlaceCase {
  const char* what;
  bool targetExists;
  bool replace;
  PlaceFileResult result;
  const char* targetAfter;  // null: absent
  bool temporaryAfter;
};

TEST(PlaceFile, ReplacesOnlyWhenAskedAndLeavesNothingHalfDone) {
  const PlaceCase cases[] = {
      {"new file", false, false, PlaceFileResult::Placed, "new", false},
      {"new file, replace allowed", false, true, PlaceFileResult::Placed, "new", false},
      {"existing file kept", true, false, PlaceFileResult::TargetExists, "old", true},
      {"existing file replaced", true, true, PlaceFileResult::Placed, "new", false},
  };
  for (const PlaceCase& c : cases) {
    const TempFolder folder;
    const std::string target = folder.file("out.reg");
    const std::string temporary = target + ".tmp";
    writeFile(temporary, "new");
    if (c.targetExists) writeFile(target, "old");
    EXPECT_EQ(placeFile(temporary, target, c.replace), c.result) << c.what;
    EXPECT_EQ(readFile(target), c.targetAfter) << c.what;
    EXPECT_EQ(std::filesystem::exists(temporary), c.temporaryAfter) << c.what;
  }
}

TEST(PlaceFile, AMissingTemporaryFileOrFolderFails) {
  const TempFolder folder;
  EXPECT_EQ(placeFile(folder.file("none.tmp"), folder.file("out"), false), PlaceFileResult::Failed);
  writeFile(folder.file("out.tmp"), "new");
  EXPECT_EQ(placeFile(folder.file("out.tmp"), folder.file("missing/out"), true),
            PlaceFileResult::Failed);
  EXPECT_FALSE(std::filesystem::exists(folder.file("missing/out")));
}

}  // namespace
}  // namespace dsnconf::test
