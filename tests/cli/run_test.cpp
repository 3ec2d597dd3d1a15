// Runs of the tool that reach the batch writer: what lands on disk and
// what the tool prints.
#include <sys/stat.h>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

using RunTest = CliTest;

constexpr std::uint64_t kDefaultStart = 0x045755000000;

TEST_F(RunTest, WritesEveryDeviceByteForByteAndEndsWithTheFinalText) {
  const ChildResult result = Run({"--image=image.img", "--out=out", "--start-mac=04:57:55:00:00:ff",
                                  "--count=3", "--macs-per-device=2"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{Saving("04:57:55:00:00:ff"), Saving("04:57:55:00:01:01"),
                                      Saving("04:57:55:00:01:03"), kFinishedLine}));
  EXPECT_EQ(m_dir.List("out"),
            (std::vector<std::string>{"fw_045755_0000ff.img", "fw_045755_000101.img",
                                      "fw_045755_000103.img"}));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_0000ff.img")), DeviceImage(0x0457550000ff, 2));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000101.img")), DeviceImage(0x045755000101, 2));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000103.img")), DeviceImage(0x045755000103, 2));
}

TEST_F(RunTest, QuietAndDurableRunPrintsOnlyTheFinalText) {
  const ChildResult result = Run({"--image", "image.img", "--count", "2", "--quiet", "--durable"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.out, kFinishedOutput);
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000001.img")), DeviceImage(kDefaultStart + 1, 1));
}

struct CreationFailureCase {
  int count;
  int blocked;  // device (from 1) whose name a directory holds
};

void PrintTo(const CreationFailureCase& failure, std::ostream* os) {
  *os << "device " << failure.blocked << " of " << failure.count;
}

class CreationFailureTest : public CliTest,
                            public testing::WithParamInterface<CreationFailureCase> {};

// A directory standing under a device's name ends the run there, also at
// the last device: the run did not finish and must not say so.
TEST_P(CreationFailureTest, StopsAtTheDeviceAndReportsItLast) {
  const auto [count, blocked] = GetParam();
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  const std::string blockedName = "fw_045755_00000" + std::to_string(blocked - 1) + ".img";
  ASSERT_EQ(::mkdir((m_dir / "out/" + blockedName).c_str(), 0777), 0);

  const ChildResult result =
      Run({"--image=image.img", "--count=" + std::to_string(count), "--manifest=list.csv"});
  EXPECT_EQ(result.exitCode, 3);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(blocked + 1)) << result.out;
  EXPECT_EQ(lines.back(), CreationFailedText(Out(blockedName)));

  std::vector<std::string> expectedNames;
  std::string expectedManifest = "file,mac1\n";
  for (int device = 0; device < blocked - 1; ++device) {
    const std::string name = "fw_045755_00000" + std::to_string(device) + ".img";
    EXPECT_EQ(ReadFileBytes(Out(name)), DeviceImage(kDefaultStart + device, 1)) << name;
    expectedNames.push_back(name);
    expectedManifest += name + ",04:57:55:00:00:0" + std::to_string(device) + "\n";
  }
  expectedNames.push_back(blockedName);
  EXPECT_EQ(m_dir.List("out"), expectedNames);
  const std::vector<std::uint8_t> manifest = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()), expectedManifest);
}

INSTANTIATE_TEST_SUITE_P(MiddleAndLast, CreationFailureTest,
                         testing::Values(CreationFailureCase{3, 2}, CreationFailureCase{3, 3}),
                         [](const testing::TestParamInfo<CreationFailureCase>& info) {
                           return info.param.blocked == info.param.count ? "Last" : "Middle";
                         });

// Under a file-size limit every write comes up short: the run goes on,
// no image stays under a device's name (not even an older one), and the
// last line is the last failure.
TEST_F(RunTest, ShortWriteLeavesNoImageUnderTheDeviceName) {
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  WriteFileBytes(m_dir / "out/fw_045755_000001.img", {'o', 'l', 'd'});
  ChildOptions options;
  options.fileSizeLimit = 1 << 20;

  const ChildResult result =
      Run({"--image=image.img", "--count=2", "--manifest=list.csv"}, options);
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(result.termSignal, 0);
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{
                Saving("04:57:55:00:00:00"), WriteFailedText(Out("fw_045755_000000.img")),
                Saving("04:57:55:00:00:01"), WriteFailedText(Out("fw_045755_000001.img"))}));
  EXPECT_EQ(m_dir.List("out"), std::vector<std::string>{});
  const std::vector<std::uint8_t> manifest = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(manifest.begin(), manifest.end()), "file,mac1\n");
}

}  // namespace
}  // namespace quillmark::test
