// The output folder as a run claims it: one run at a time, whatever path
// names the folder, and a folder that moves is noticed.
#include "output_folder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "fixture_image.h"
#include "scratch_dir.h"
#include "status_texts.h"

namespace quillmark {
namespace {

using test::ScratchDir;

TEST(OutputFolderTest, ClaimKeepsEveryOtherClaimOutUntilItEnds) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "out").c_str(), 0777), 0);
  ASSERT_EQ(::symlink((dir / "out").c_str(), (dir / "link").c_str()), 0);
  SystemFiles files;
  FolderClaim first = ClaimOutputFolder(files, dir / "out");
  ASSERT_TRUE(first.folder) << first.refusal;
  EXPECT_EQ(first.folder->Path(), dir / "out");
  for (const std::string& other : {dir / "out", dir / "out/", dir / "link"}) {
    const FolderClaim second = ClaimOutputFolder(files, other);
    EXPECT_FALSE(second.folder) << other;
    EXPECT_EQ(second.refusal, FolderBusyText(other));
  }
  first.folder.reset();
  EXPECT_TRUE(ClaimOutputFolder(files, dir / "link").folder);
}

TEST(OutputFolderTest, FolderThatCannotBeOpenedIsRefusedAsARequestIs) {
  ScratchDir dir;
  test::WriteFileBytes(dir / "file", {1});
  for (const std::string& path : {dir / "missing", dir / "file"}) {
    const FolderClaim claim = ClaimOutputFolder(path);
    EXPECT_FALSE(claim.folder) << path;
    EXPECT_EQ(claim.refusal, kOutputDirectoryErrorText);
  }
}

TEST(OutputFolderTest, NoticesWhenItsPathNamesAnotherFolder) {
  ScratchDir dir;
  ASSERT_EQ(::mkdir((dir / "out").c_str(), 0777), 0);
  const FolderClaim claim = ClaimOutputFolder(dir / "out");
  ASSERT_TRUE(claim.folder);
  EXPECT_TRUE(claim.folder->StillInPlace());
  ASSERT_EQ(::rename((dir / "out").c_str(), (dir / "moved").c_str()), 0);
  EXPECT_FALSE(claim.folder->StillInPlace());
  ASSERT_EQ(::mkdir((dir / "out").c_str(), 0777), 0);
  EXPECT_FALSE(claim.folder->StillInPlace());
  ASSERT_EQ(::rmdir((dir / "out").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "moved").c_str(), (dir / "out").c_str()), 0);
  EXPECT_TRUE(claim.folder->StillInPlace());  // a link to the very folder is that folder
}

}  // namespace
}  // namespace quillmark
