// Runs cut short from outside: a kill in the middle of a write, the
// output folder taken away, the input image changed under a running
// batch. No device name may ever hold anything but its exact image.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <numeric>
#include <thread>

#include "reliability_test.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;

// Files the writer has under way at once, each under its temporary name.
constexpr std::size_t kWriteLanes = 2;

using KillTest = ReliabilityTest;

// The saving text of a device comes before its file is created, so a kill
// sent the moment a temporary file shows lands in the middle of a write.
// A few attempts make sure one does; every attempt must leave only exact
// images and temporary files, and a rerun must clear the leftovers.
TEST_F(KillTest, KillInTheMiddleOfAWriteLeavesNoPartialImage) {
  m_batch.deviceCount = 150;
  m_batch.macsPerDevice = 2;
  bool leftTemporary = false;
  for (int attempt = 0; attempt < 8 && !leftTemporary; ++attempt) {
    const int killedAt = 10 + 12 * attempt;
    ChildProcess cli(CliCommand(m_batch.Args(ImagePath(), OutDir())));
    ASSERT_TRUE(cli.started());
    for (int line = 0; line <= killedAt; ++line)
      ASSERT_TRUE(cli.ReadLine(20s)) << "the run printed only " << line << " lines";
    const auto deadline = std::chrono::steady_clock::now() + 50ms;
    while (!HasTemporaryFile(OutDir()) && std::chrono::steady_clock::now() < deadline) {
    }
    ASSERT_TRUE(cli.Signal(SIGKILL));
    const ChildResult killed = cli.Finish(20s);
    ASSERT_EQ(killed.termSignal, SIGKILL) << "the run ended by itself: " << killed.out;

    const FolderState state = InspectOutputFolder(OutDir(), m_batch);
    EXPECT_EQ(state.problems, kNothing) << "attempt " << attempt;
    EXPECT_LE(state.temporaryFiles.size(), kWriteLanes);
    for (int device = 0; device < killedAt; ++device) {
      EXPECT_TRUE(std::binary_search(state.exactDevices.begin(), state.exactDevices.end(), device))
          << "device " << device << " was done before the kill";
    }
    leftTemporary = !state.temporaryFiles.empty();
  }
  EXPECT_TRUE(leftTemporary) << "no kill landed while a file was being written";

  const ChildResult rerun = RunCli(m_batch.Args(ImagePath(), OutDir()));
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  const FolderState state = InspectOutputFolder(OutDir(), m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  EXPECT_EQ(state.exactDevices.size(), 150u);
}

enum class FolderFate { Removed, ReplacedByFile };

void PrintTo(FolderFate fate, std::ostream* os) {
  *os << (fate == FolderFate::Removed ? "Removed" : "ReplacedByFile");
}

class TakenFolderTest : public ReliabilityTest, public testing::WithParamInterface<FolderFate> {};

// The run must stop at the first device it cannot create, name that
// device's path, and never put a file anywhere else (nor recreate the
// folder).
TEST_P(TakenFolderTest, RunStopsWithTheCreationMessage) {
  m_batch.deviceCount = 40;
  ChildProcess cli(CliCommand(m_batch.Args(ImagePath(), OutDir())));
  StartAndPause(cli);
  ASSERT_LT(CountImages(OutDir()), 40);
  const std::string moved = m_dir / "moved";
  if (GetParam() == FolderFate::Removed) {
    std::filesystem::remove_all(OutDir());
  } else {
    ASSERT_EQ(::rename(OutDir().c_str(), moved.c_str()), 0);
    WriteFileBytes(OutDir(), {'n', 'o', 't', ' ', 'a', ' ', 'f', 'o', 'l', 'd', 'e', 'r'});
  }
  ASSERT_TRUE(cli.Resume());
  const ChildResult result = cli.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, 3);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_GE(lines.size(), 2u);
  const auto saving = std::count_if(lines.begin(), lines.end(), [](const std::string& line) {
    return line.rfind(kSavingPrefix, 0) == 0;
  });
  EXPECT_EQ(lines.back(), CreationFailedText(OutDir() + "/" + m_batch.FileName(int(saving) - 1)));
  if (GetParam() == FolderFate::Removed) {
    EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{"image.bin"}));
    return;
  }
  EXPECT_EQ(ListNames(m_dir.path()), (std::vector<std::string>{"image.bin", "moved", "out"}));
  EXPECT_EQ(ReadFileBytes(OutDir()).size(), 12u);
  // The moved folder keeps the complete files of the devices announced
  // before the stop, and nothing else of the run: the files written ahead
  // went with it, and were removed there.
  const FolderState state = InspectOutputFolder(moved, m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  std::vector<int> announcedBefore(std::size_t(saving) - 1);
  std::iota(announcedBefore.begin(), announcedBefore.end(), 0);
  EXPECT_EQ(state.exactDevices, announcedBefore);
}

INSTANTIATE_TEST_SUITE_P(Fates, TakenFolderTest,
                         testing::Values(FolderFate::Removed, FolderFate::ReplacedByFile),
                         [](const auto& info) { return testing::PrintToString(info.param); });

enum class ImageChange { TruncatedToZero, TruncatedHalfway, RewrittenInPlace, ReplacedByRename };

const char* const kChangeNames[] = {"TruncatedToZero", "TruncatedHalfway", "RewrittenInPlace",
                                    "ReplacedByRename"};

void PrintTo(ImageChange change, std::ostream* os) {
  *os << kChangeNames[int(change)];
}

class ChangedImageTest : public ReliabilityTest, public testing::WithParamInterface<ImageChange> {};

// The image is read whole while the request is checked; whatever happens
// to the file afterwards, every device gets the image as it was checked.
TEST_P(ChangedImageTest, EveryDeviceGetsTheImageAsChecked) {
  m_batch.deviceCount = 24;
  ChildProcess cli(CliCommand(m_batch.Args(ImagePath(), OutDir())));
  StartAndPause(cli);
  ASSERT_LT(CountImages(OutDir()), 24);

  std::vector<std::uint8_t> other = m_batch.image;
  for (std::size_t i = 5; i < other.size(); i += 4099)
    other[i] ^= 0xFF;
  switch (GetParam()) {
    case ImageChange::TruncatedToZero:
      ASSERT_EQ(::truncate(ImagePath().c_str(), 0), 0);
      break;
    case ImageChange::TruncatedHalfway:
      ASSERT_EQ(::truncate(ImagePath().c_str(), k4MiB / 2), 0);
      break;
    case ImageChange::RewrittenInPlace:
      WriteFileBytes(ImagePath(), other);
      break;
    case ImageChange::ReplacedByRename:
      WriteFileBytes(m_dir / "other.bin", other);
      ASSERT_EQ(::rename((m_dir / "other.bin").c_str(), ImagePath().c_str()), 0);
      break;
  }
  ASSERT_TRUE(cli.Resume());
  const ChildResult result = cli.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, 0) << result.out << result.err;
  const FolderState state = InspectOutputFolder(OutDir(), m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  EXPECT_EQ(state.exactDevices.size(), 24u);
}

INSTANTIATE_TEST_SUITE_P(Changes, ChangedImageTest,
                         testing::Values(ImageChange::TruncatedToZero,
                                         ImageChange::TruncatedHalfway,
                                         ImageChange::RewrittenInPlace,
                                         ImageChange::ReplacedByRename),
                         [](const auto& info) { return testing::PrintToString(info.param); });

}  // namespace
}  // namespace quillmark::test
