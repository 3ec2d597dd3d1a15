// The core's file layer on Windows, against the real system calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "device_file_writer.h"
#include "file_replacement.h"
#include "fixture_image.h"
#include "platform_file.h"
#include "scratch_dir.h"
#include "win32_path.h"
#include "windows_test_support.h"

namespace quillmark {
namespace {

using test::ReadFileBytes;
using test::WriteFileBytes;

const std::vector<std::uint8_t> kOld{'o', 'l', 'd'};
const std::vector<std::uint8_t> kNew{'n', 'e', 'w', '!'};

class PlatformFilesTest : public ::testing::Test {
 protected:
  // A file created through the seam, holding data.
  void Create(const std::string& path, const std::vector<std::uint8_t>& data) {
    const FileHandle file = m_files.CreateExclusive(path);
    ASSERT_NE(file, kNoFile) << path;
    EXPECT_EQ(m_files.WriteAll(file, data.data(), data.size()), data.size());
    EXPECT_TRUE(m_files.Close(file));
  }

  // Renames within the scratch folder through a held folder; the error of
  // the move stays the thread's last error.
  bool RenameInScratch(const std::string& from, const std::string& to) {
    const FolderHandle folder = m_files.OpenFolder(m_dir.path());
    if (folder == kNoFolder)
      return false;
    const bool moved = m_files.RenameIn(folder, from, to);
    const DWORD error = ::GetLastError();
    m_files.CloseFolder(folder);
    ::SetLastError(error);
    return moved;
  }

  test::ScratchDir m_dir;
  SystemFiles m_files;
};

TEST_F(PlatformFilesTest, ExclusiveCreateRefusesWhateverStandsUnderTheName) {
  Create(m_dir / "taken", kOld);
  ASSERT_TRUE(m_files.MakeDirectory(m_dir / "folder"));
  for (const char* name : {"taken", "folder"}) {
    EXPECT_EQ(m_files.CreateExclusive(m_dir / name), kNoFile) << name;
  }
  EXPECT_EQ(ReadFileBytes(m_dir / "taken"), kOld);
}

TEST_F(PlatformFilesTest, RenameReplacesAnExistingFile) {
  Create(m_dir / "final", kOld);
  Create(m_dir / "staged", kNew);
  ASSERT_TRUE(RenameInScratch("staged", "final"));
  EXPECT_EQ(ReadFileBytes(m_dir / "final"), kNew);
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"final"});
}

TEST_F(PlatformFilesTest, RenameOverAFileHeldOpenFailsAndLeavesBothAsTheyWere) {
  Create(m_dir / "final", kOld);
  Create(m_dir / "staged", kNew);
  // A reader that does not share deletion (an editor, a virus scanner).
  const test::OpenedFile held(m_dir / "final", FILE_SHARE_READ | FILE_SHARE_WRITE);
  ASSERT_TRUE(held.IsOpen());
  EXPECT_FALSE(RenameInScratch("staged", "final"));
  EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
  EXPECT_EQ(ReadFileBytes(m_dir / "final"), kOld);
  EXPECT_EQ(ReadFileBytes(m_dir / "staged"), kNew);
}

TEST_F(PlatformFilesTest, RenameOntoAFolderFails) {
  Create(m_dir / "staged", kNew);
  ASSERT_TRUE(m_files.MakeDirectory(m_dir / "final"));
  EXPECT_FALSE(RenameInScratch("staged", "final"));
  EXPECT_TRUE(m_files.IsDirectory(m_dir / "final"));
}

TEST_F(PlatformFilesTest, RemoveTakesAFileAndCountsAMissingOneAsGone) {
  Create(m_dir / "file", kOld);
  EXPECT_TRUE(m_files.Remove(m_dir / "file"));
  EXPECT_TRUE(m_files.Remove(m_dir / "file"));
  EXPECT_TRUE(m_files.Remove(m_dir / "missing\\file"));
  EXPECT_TRUE(m_dir.List().empty());
}

TEST_F(PlatformFilesTest, Utf8NamesAndBothSeparatorsReachTheFileSystem) {
  const std::string folder = m_dir.path() + "\\输出";
  ASSERT_TRUE(m_files.MakeDirectory(folder));
  EXPECT_TRUE(m_files.IsDirectory(m_dir.path() + "/输出"));
  Create(folder + "/固件.img", kNew);
  EXPECT_EQ(test::WideNames(*ToWide(folder)), std::vector<std::wstring>{L"固件.img"});
  EXPECT_EQ(ReadFileBytes(folder + "\\固件.img"), kNew);
  // Text that is not UTF-8 names no file.
  EXPECT_EQ(m_files.CreateExclusive(folder + "\\\xff.img"), kNoFile);
}

TEST_F(PlatformFilesTest, AbsolutePathJoinsTheCurrentFolderWithBackslashes) {
  const test::CurrentFolder here(m_dir.path());
  const std::string current = *FullPath(".");
  EXPECT_EQ(m_files.AbsolutePath("out"), current + "\\out");
  EXPECT_EQ(m_files.AbsolutePath("out/sub\\"), current + "\\out\\sub\\");
  EXPECT_EQ(m_files.AbsolutePath("C:\\"), "C:\\");
  EXPECT_EQ(m_files.AbsolutePath("C:/lot/../out"), "C:\\out");
}

TEST_F(PlatformFilesTest, PathsPastTheClassicLimitWork) {
  std::string folder = m_dir.path();
  while (folder.size() < 300) {
    folder += "\\" + std::string(60, 'd');
    ASSERT_TRUE(m_files.MakeDirectory(folder)) << folder.size();
  }
  Create(folder + "\\.fw.img.part", kNew);
  const FolderHandle held = m_files.OpenFolder(folder);
  ASSERT_NE(held, kNoFolder);
  ASSERT_TRUE(m_files.RenameIn(held, ".fw.img.part", "fw.img"));
  m_files.CloseFolder(held);
  const FileHandle file = m_files.OpenForReading(folder + "\\fw.img");
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(m_files.SizeOf(file), kNew.size());
  EXPECT_TRUE(m_files.Close(file));
  EXPECT_TRUE(m_files.Remove(folder + "\\fw.img"));
  // The standard library's removal stops at the classic limit.
  for (; folder.size() > m_dir.path().size(); folder.resize(folder.rfind('\\')))
    EXPECT_TRUE(::RemoveDirectoryW(ToWidePath(folder)->c_str())) << folder.size();
}

TEST_F(PlatformFilesTest, OnlyAFileOnADiskOpensAsAnImage) {
  Create(m_dir / "image", kNew);
  const FileHandle file = m_files.OpenForReading(m_dir / "image");
  ASSERT_NE(file, kNoFile);
  std::vector<std::uint8_t> bytes(8);
  EXPECT_EQ(m_files.ReadAll(file, bytes.data(), bytes.size()), kNew.size());
  EXPECT_TRUE(m_files.Close(file));
  for (const std::string& path :
       {m_dir.path(), std::string("NUL"), std::string("\\\\.\\NUL"), m_dir / "missing"}) {
    EXPECT_EQ(m_files.OpenForReading(path), kNoFile) << path;
  }
}

TEST_F(PlatformFilesTest, ExistingFileSizeCountsOnlyAFileItsNameAloneHolds) {
  WriteFileBytes(m_dir / "image", std::vector<std::uint8_t>(100000, 7));
  EXPECT_GE(m_files.ExistingFileSize(m_dir / "image").value_or(0), 100000u);
  ASSERT_TRUE(::CreateHardLinkW(ToWide(m_dir / "second")->c_str(), ToWide(m_dir / "image")->c_str(),
                                nullptr));
  EXPECT_EQ(m_files.ExistingFileSize(m_dir / "image"), 0u);
  EXPECT_EQ(m_files.ExistingFileSize(m_dir.path()), std::nullopt);
  EXPECT_EQ(m_files.ExistingFileSize(m_dir / "missing"), std::nullopt);
}

TEST_F(PlatformFilesTest, AvailableBytesOfTheVolume) {
  ULARGE_INTEGER total{};
  ASSERT_TRUE(::GetDiskFreeSpaceExW(ToWide(m_dir.path())->c_str(), nullptr, &total, nullptr));
  const std::optional<std::uint64_t> available = m_files.AvailableBytes(m_dir.path());
  ASSERT_TRUE(available.has_value());
  EXPECT_GT(*available, 0u);
  EXPECT_LE(*available, total.QuadPart);
  EXPECT_EQ(m_files.AvailableBytes(m_dir / "missing"), std::nullopt);
}

TEST_F(PlatformFilesTest, AVolumeWithoutBlockCloningRefusesIt) {
  // What a volume other than ReFS answers, and Wine's too.
  EXPECT_FALSE(DirectorySharesData(m_files, m_dir.path()));
  const FolderHandle folder = m_files.OpenFolder(m_dir.path());
  ASSERT_NE(folder, kNoFolder);
  EXPECT_EQ(m_files.CreateUnnamedIn(folder), kNoFile);
  m_files.CloseFolder(folder);
  Create(m_dir / "source", kNew);
  const FileHandle source = m_files.OpenForReading(m_dir / "source");
  const FileHandle target = m_files.CreateExclusive(m_dir / "target");
  ASSERT_NE(source, kNoFile);
  ASSERT_NE(target, kNoFile);
  EXPECT_EQ(m_files.CloneFile(target, source), CloneResult::Refused);
  EXPECT_EQ(m_files.SizeOf(target), 0u);
  // The fallback: the bytes written, then a record written in place.
  EXPECT_EQ(m_files.WriteAll(target, kNew.data(), kNew.size()), kNew.size());
  EXPECT_EQ(m_files.WriteAt(target, 1, kOld.data(), 2), 2u);
  EXPECT_TRUE(m_files.Close(target));
  EXPECT_TRUE(m_files.Close(source));
  EXPECT_EQ(ReadFileBytes(m_dir / "target"), (std::vector<std::uint8_t>{'n', 'o', 'l', '!'}));
}

TEST_F(PlatformFilesTest, FlushesReachTheFileAndItsFolder) {
  const FileHandle file = m_files.CreateExclusive(m_dir / "durable");
  ASSERT_NE(file, kNoFile);
  EXPECT_EQ(m_files.WriteAll(file, kNew.data(), kNew.size()), kNew.size());
  EXPECT_TRUE(m_files.FlushToDisk(file));
  EXPECT_TRUE(m_files.Close(file));
  EXPECT_TRUE(m_files.FlushDirectory(m_dir.path()));
  EXPECT_FALSE(m_files.FlushDirectory(m_dir / "durable"));
  EXPECT_FALSE(m_files.FlushDirectory(m_dir / "missing"));
}

TEST_F(PlatformFilesTest, AHeldFolderIsLockedAgainstASecondRunAndFreedWhenClosed) {
  const FolderHandle first = m_files.OpenFolder(m_dir.path());
  const FolderHandle second = m_files.OpenFolder(m_dir.path() + "/");
  ASSERT_NE(first, kNoFolder);
  ASSERT_NE(second, kNoFolder);
  EXPECT_EQ(m_files.LockFolder(first), FolderLock::Locked);
  EXPECT_EQ(m_files.LockFolder(second), FolderLock::Busy);
  m_files.CloseFolder(first);
  EXPECT_EQ(m_files.LockFolder(second), FolderLock::Locked);
  m_files.CloseFolder(second);
  EXPECT_TRUE(m_dir.List().empty());  // the lock leaves nothing behind
}

TEST_F(PlatformFilesTest, AHeldFolderKnowsWhetherItsPathStillNamesIt) {
  ASSERT_TRUE(m_files.MakeDirectory(m_dir / "out"));
  const FolderHandle folder = m_files.OpenFolder(m_dir / "out");
  ASSERT_NE(folder, kNoFolder);
  EXPECT_TRUE(m_files.FolderStillAt(folder, m_dir / "out"));
  EXPECT_FALSE(m_files.FolderStillAt(folder, m_dir.path()));
  EXPECT_FALSE(m_files.FolderStillAt(folder, m_dir / "missing"));
  const FileHandle file = m_files.CreateExclusiveIn(folder, "name");
  ASSERT_NE(file, kNoFile);
  EXPECT_TRUE(m_files.Close(file));
  EXPECT_TRUE(m_files.RemoveIn(folder, "name"));
  EXPECT_TRUE(m_files.RemoveIn(folder, "name"));  // a missing file counts as gone
  // Windows refuses to move a folder held without shared deletion; Wine
  // moves it. Either way the held folder tells where it stands.
  const bool moved =
      ::MoveFileExW(ToWide(m_dir / "out")->c_str(), ToWide(m_dir / "moved")->c_str(), 0) != 0;
  EXPECT_EQ(m_files.FolderStillAt(folder, m_dir / "out"), !moved);
  m_files.CloseFolder(folder);
}

// A command's own output (verify's report, the manifest) takes a
// temporary name of its own, leaves a file under another's as it was, is
// put in place only as the file it wrote, and keeps an older file when it
// cannot take its place.
TEST_F(PlatformFilesTest, AnOutputTakesATemporaryNameOfItsOwnAndKeepsTheOlderFile) {
  Create(m_dir / ".report.csv.part", kOld);
  Create(m_dir / "report.csv", kOld);
  const std::string text(kNew.begin(), kNew.end());
  EXPECT_EQ(WriteOutputFile(m_files, m_dir / "report.csv", text, true), OutputWrite::Written);
  EXPECT_EQ(ReadFileBytes(m_dir / "report.csv"), kNew);
  EXPECT_EQ(ReadFileBytes(m_dir / ".report.csv.part"), kOld);
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{".report.csv.part", "report.csv"}));

  // A folder under the name refuses the rename; nothing is left of the try.
  ASSERT_TRUE(m_files.MakeDirectory(m_dir / "folder.csv"));
  EXPECT_EQ(WriteOutputFile(m_files, m_dir / "folder.csv", text, false), OutputWrite::NotPlaced);
  EXPECT_EQ(m_dir.List(),
            (std::vector<std::string>{".report.csv.part", "folder.csv", "report.csv"}));
}

}  // namespace
}  // namespace quillmark
