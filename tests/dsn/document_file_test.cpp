// A document written piece by piece is in place whole or not at all: an
// existing file is kept without leave to replace it, nothing is left behind by
// a document never committed, and a file that may hold passwords is its
// owner's alone.
#include "dsn/document_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "test_support.h"

namespace dsnconf::test {
namespace {

namespace fs = std::filesystem;

mode_t modeOf(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mode & 0777;
}

TEST(DocumentFile, PiecesReachTheFileOnlyWhenCommitted) {
  struct CommitCase {
    const char* what;
    bool exists;
    bool replace;
    DocumentWrite started;
    const char* after;  // the file afterwards
  };
  const CommitCase cases[] = {
      {"a new file", false, false, DocumentWrite::Ready, "one two"},
      {"an existing file replaced", true, true, DocumentWrite::Ready, "one two"},
      {"an existing file kept", true, false, DocumentWrite::Exists, "old"},
  };
  for (const CommitCase& c : cases) {
    const TempFolder folder;
    const std::string file = folder.file("out.json");
    if (c.exists) writeFile(file, "old");
    DocumentFile document;
    ASSERT_EQ(document.start(file, c.replace, false), c.started) << c.what;
    if (c.started == DocumentWrite::Ready) {
      EXPECT_TRUE(document.append("one "));
      EXPECT_TRUE(fs::exists(file + ".tmp")) << c.what;
      EXPECT_EQ(readFile(file), c.exists ? "old" : "") << c.what << ": not in place before";
      EXPECT_TRUE(document.append("two"));
      EXPECT_EQ(document.commit(), DocumentWrite::Written) << c.what;
    }
    EXPECT_EQ(readFile(file), c.after) << c.what;
    EXPECT_FALSE(fs::exists(file + ".tmp")) << c.what;
  }
}

TEST(DocumentFile, ADocumentNeverCommittedLeavesNothingBehind) {
  const TempFolder folder;
  const std::string file = folder.file("out.reg");
  writeFile(file, "old");
  {
    DocumentFile document;
    ASSERT_EQ(document.start(file, true, true), DocumentWrite::Ready);
    EXPECT_TRUE(document.append("half"));
  }
  EXPECT_EQ(readFile(file), "old");
  EXPECT_FALSE(fs::exists(file + ".tmp"));

  DocumentFile nowhere;
  EXPECT_EQ(nowhere.start(folder.file("missing/out.reg"), false, false), DocumentWrite::Failed);
  EXPECT_FALSE(nowhere.append("x"));
  EXPECT_EQ(nowhere.commit(), DocumentWrite::Failed);
}

TEST(DocumentFile, AnOwnersFileIsReadableByItsOwnerAlone) {
  const TempFolder folder;
  const std::string file = folder.file("out.reg");
  // A temporary file left by an earlier run, readable by all, is not reused as it was.
  writeFile(file + ".tmp", "stale");
  ::chmod((file + ".tmp").c_str(), 0644);
  DocumentFile document;
  ASSERT_EQ(document.start(file, false, true), DocumentWrite::Ready);
  EXPECT_EQ(modeOf(file + ".tmp"), 0600u);
  ASSERT_EQ(document.commit(), DocumentWrite::Written);
  EXPECT_EQ(modeOf(file), 0600u);
  EXPECT_EQ(readFile(file), "");
}

}  // namespace
}  // namespace dsnconf::test
