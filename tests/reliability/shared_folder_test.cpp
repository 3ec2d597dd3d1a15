// Two runs meeting on one output folder. A run holds its folder from
// before its first device to its end: a second run into it, by whatever
// path, is refused before it writes anything, and a run that dies lets
// the folder go with it.
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "reliability_test.h"

namespace quillmark::test {
namespace {

using namespace std::chrono_literals;

// How the second run names the first run's folder.
enum class SecondPath { SameText, ThroughALink, WithTrailingSlash };

void PrintTo(SecondPath path, std::ostream* os) {
  const char* const names[] = {"SameText", "ThroughALink", "WithTrailingSlash"};
  *os << names[int(path)];
}

class SharedFolderTest : public ReliabilityTest, public testing::WithParamInterface<SecondPath> {
 protected:
  std::string SecondOutDir() {
    switch (GetParam()) {
      case SecondPath::SameText:
        return OutDir();
      case SecondPath::ThroughALink:
        EXPECT_EQ(::symlink(OutDir().c_str(), (m_dir / "link").c_str()), 0);
        return m_dir / "link";
      case SecondPath::WithTrailingSlash:
        return OutDir() + "/";
    }
    return {};
  }
};

// The second run writes another image, so any file of its own would show.
TEST_P(SharedFolderTest, SecondRunIsRefusedBeforeItsFirstDevice) {
  m_batch.deviceCount = 30;
  ChildProcess first(CliCommand(m_batch.Args(ImagePath(), OutDir())));
  StartAndPause(first);
  const std::vector<std::string> before = ListNames(OutDir());

  DeviceBatch other = m_batch;
  other.image[100] ^= 0xFF;
  WriteFileBytes(m_dir / "other.bin", other.image);
  const std::string secondOut = SecondOutDir();
  const ChildResult second = RunCli(other.Args(m_dir / "other.bin", secondOut));

  EXPECT_EQ(second.exitCode, 1);
  EXPECT_EQ(second.out, "");
  EXPECT_EQ(second.err, FolderBusyText(secondOut) + "\n");
  EXPECT_EQ(ListNames(OutDir()), before);
  ASSERT_TRUE(first.Resume());
  const ChildResult result = first.Finish(kChildTimeout);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const FolderState state = InspectOutputFolder(OutDir(), m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  EXPECT_EQ(state.exactDevices.size(), 30u);
}

INSTANTIATE_TEST_SUITE_P(Paths, SharedFolderTest,
                         testing::Values(SecondPath::SameText, SecondPath::ThroughALink,
                                         SecondPath::WithTrailingSlash),
                         [](const auto& info) { return testing::PrintToString(info.param); });

using DeadHolderTest = ReliabilityTest;

// The system releases a killed run's hold: the next run goes ahead, and
// the files the killed one was writing give way to its own.
TEST_F(DeadHolderTest, FolderOfAKilledRunIsFreeAtOnce) {
  m_batch.deviceCount = 30;
  ChildProcess first(CliCommand(m_batch.Args(ImagePath(), OutDir())));
  StartAndPause(first);
  ASSERT_TRUE(first.Signal(SIGKILL));
  ASSERT_EQ(first.Finish(20s).termSignal, SIGKILL);

  const ChildResult rerun = RunCli(m_batch.Args(ImagePath(), OutDir()));
  EXPECT_EQ(rerun.exitCode, 0) << rerun.err;
  const FolderState state = InspectOutputFolder(OutDir(), m_batch);
  EXPECT_EQ(state.problems, kNothing);
  EXPECT_EQ(state.temporaryFiles, kNothing);
  EXPECT_EQ(state.exactDevices.size(), 30u);
}

}  // namespace
}  // namespace quillmark::test
