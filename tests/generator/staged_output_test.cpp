// A command's own output (a report, a backup, a manifest, a label file)
// written into a folder others may write in too: under a temporary name
// of its own, through the handle created, and put in place only while
// that name still leads to the file written. An older file stays until
// then; nothing found under a temporary name is removed.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "file_replacement.h"
#include "fixture_image.h"
#include "scratch_dir.h"

namespace quillmark {
namespace {

using test::ReadFileBytes;
using test::ScratchDir;
using test::WriteFileBytes;

const std::vector<std::uint8_t> kOld = {'o', 'l', 'd'};
const std::vector<std::uint8_t> kMine = {'m', 'i', 'n', 'e'};
const std::string kPage = "<html>the new page</html>\n";

// The system's files, with one moment of the write given to a test: what
// another process does while the output's bytes go in.
class MeddledFiles final : public SystemFiles {
 public:
  std::function<void()> duringWrite;
  bool shortWrite = false;

  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override {
    if (duringWrite)
      std::exchange(duringWrite, nullptr)();
    const std::uint64_t written = SystemFiles::WriteAll(file, data, size);
    return shortWrite && written > 0 ? written - 1 : written;
  }
};

std::vector<std::uint8_t> Bytes(const std::string& text) {
  return {text.begin(), text.end()};
}

// Another user swaps the temporary name, after its creation and before
// the rename, for a link to a file of root's, a second name of that file,
// or a file of its own: none of them is written, put in place or removed.
struct Swap {
  const char* name;
  std::function<void(const std::string& victim, const std::string& temporary)> put;
};

void PrintTo(const Swap& swap, std::ostream* os) {
  *os << swap.name;
}

class StagedOutputSwapTest : public testing::TestWithParam<Swap> {};

TEST_P(StagedOutputSwapTest, ATemporaryNameThatNoLongerLeadsToTheFileIsNotPutInPlace) {
  ScratchDir dir;
  const std::string victim = dir / "victim";
  WriteFileBytes(victim, kMine);
  ASSERT_EQ(::chmod(victim.c_str(), 0600), 0);
  WriteFileBytes(dir / "report.html", kOld);
  const std::string temporary = dir / ".report.html.part";
  MeddledFiles files;
  files.duringWrite = [&] {
    ASSERT_EQ(::rename(temporary.c_str(), (dir / "moved").c_str()), 0);
    GetParam().put(victim, temporary);
  };
  EXPECT_EQ(WriteOutputFile(files, dir / "report.html", kPage, false), OutputWrite::Displaced);

  EXPECT_EQ(ReadFileBytes(victim), kMine);
  struct stat status {};
  ASSERT_EQ(::stat(victim.c_str(), &status), 0);
  EXPECT_EQ(status.st_mode & 07777, 0600u);
  EXPECT_EQ(ReadFileBytes(dir / "report.html"), kOld);
  ASSERT_EQ(::lstat(temporary.c_str(), &status), 0) << "the other's file stays";
  // The bytes went into the file created, wherever it was moved.
  EXPECT_EQ(ReadFileBytes(dir / "moved"), Bytes(kPage));
}

INSTANTIATE_TEST_SUITE_P(
    Swaps, StagedOutputSwapTest,
    testing::Values(Swap{"SymbolicLink",
                         [](const std::string& victim, const std::string& temporary) {
                           ASSERT_EQ(::symlink(victim.c_str(), temporary.c_str()), 0);
                         }},
                    Swap{"HardLink",
                         [](const std::string& victim, const std::string& temporary) {
                           ASSERT_EQ(::link(victim.c_str(), temporary.c_str()), 0);
                         }},
                    Swap{"OtherFile",
                         [](const std::string&, const std::string& temporary) {
                           WriteFileBytes(temporary, kMine);
                         }}),
    [](const testing::TestParamInfo<Swap>& info) { return std::string(info.param.name); });

TEST(StagedOutputTest, FilesUnderTheTemporaryNamesStayAndAnotherNameIsTaken) {
  ScratchDir dir;
  WriteFileBytes(dir / ".report.html.part", kMine);
  ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / ".report.html.1.part").c_str()), 0);
  WriteFileBytes(dir / "report.html", kOld);
  SystemFiles files;

  EXPECT_EQ(WriteOutputFile(files, dir / "report.html", kPage, true), OutputWrite::Written);

  EXPECT_EQ(ReadFileBytes(dir / "report.html"), Bytes(kPage));
  EXPECT_EQ(ReadFileBytes(dir / ".report.html.part"), kMine);
  EXPECT_EQ(dir.List(),
            (std::vector<std::string>{".report.html.1.part", ".report.html.part", "report.html"}));
  struct stat status {};
  EXPECT_EQ(::lstat((dir / "elsewhere").c_str(), &status), -1) << "no link was written through";
}

TEST(StagedOutputTest, AnOutputNotWrittenKeepsTheOlderFileAndLeavesNoTemporaryFile) {
  ScratchDir dir;
  WriteFileBytes(dir / "report.html", kOld);
  MeddledFiles files;
  files.shortWrite = true;
  EXPECT_EQ(WriteOutputFile(files, dir / "report.html", kPage, false), OutputWrite::NotWritten);
  EXPECT_EQ(ReadFileBytes(dir / "report.html"), kOld);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"report.html"});

  // Discarded: the older file stays too.
  {
    StagedOutput output(files, dir / "report.html");
    ASSERT_TRUE(output.Created());
    EXPECT_EQ(output.TemporaryName(), ".report.html.part");
  }
  EXPECT_EQ(ReadFileBytes(dir / "report.html"), kOld);
  EXPECT_EQ(dir.List(), std::vector<std::string>{"report.html"});

  SystemFiles plain;
  for (const std::string& path : {dir / "missing/report.html", dir / "report.html/", dir / ".."}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(WriteOutputFile(plain, path, kPage, false), OutputWrite::NotCreated);
  }
  EXPECT_EQ(dir.List(), std::vector<std::string>{"report.html"});
}

}  // namespace
}  // namespace quillmark
