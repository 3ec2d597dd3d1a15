// A stop asked by SIGINT or SIGTERM during a run.
#include <signal.h>

#include <cstdio>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

constexpr int kCount = 40;

std::string DeviceName(int device) {
  char name[32];
  std::snprintf(name, sizeof name, "fw_045755_%06x.img", device);
  return name;
}

struct StopCase {
  int signalNumber;
  int exitCode;
};

void PrintTo(const StopCase& stop, std::ostream* os) {
  *os << "signal " << stop.signalNumber;
}

class StopSignalTest : public CliTest, public testing::WithParamInterface<StopCase> {};

// The file being written completes; the devices written so far are the
// first ones, complete, and exactly those in the manifest.
TEST_P(StopSignalTest, StopsBeforeTheNextDeviceAndSaysHowManyWereWritten) {
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(
      CliCommand({"--image=image.img", "--count=" + std::to_string(kCount), "--manifest=list.csv"}),
      options);
  ASSERT_TRUE(tool.started());
  const std::optional<std::string> first = tool.ReadLine(kChildTimeout);
  ASSERT_TRUE(first.has_value());
  ASSERT_EQ(*first, Saving("04:57:55:00:00:00"));
  tool.Signal(GetParam().signalNumber);
  const ChildResult result = tool.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, GetParam().exitCode);
  const std::vector<std::string> written = m_dir.List("out");
  const int count = static_cast<int>(written.size());
  EXPECT_GE(count, 1);
  EXPECT_LT(count, kCount);
  EXPECT_EQ(result.err, "运行已停止：已写入" + std::to_string(count) + "个设备文件（共" +
                            std::to_string(kCount) + "个）\n");
  EXPECT_EQ(result.out.find(kRunFinishedText), std::string::npos);

  std::string manifest = "file,mac1\n";
  for (int device = 0; device < count; ++device) {
    ASSERT_EQ(written[device], DeviceName(device));
    EXPECT_EQ(ReadFileBytes(Out(written[device])), DeviceImage(0x045755000000 + device, 1));
    char address[24];
    std::snprintf(address, sizeof address, "04:57:55:00:%02x:%02x", device >> 8, device & 0xff);
    manifest += written[device] + "," + address + "\n";
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), manifest);
}

INSTANTIATE_TEST_SUITE_P(Signals, StopSignalTest,
                         testing::Values(StopCase{SIGINT, 130}, StopCase{SIGTERM, 143}),
                         [](const testing::TestParamInfo<StopCase>& info) {
                           return info.param.signalNumber == SIGINT ? "Interrupt" : "Terminate";
                         });

// A second SIGINT may end the process at once; whatever stands under a
// device's name is still a complete image.
using InterruptTest = CliTest;

TEST_F(InterruptTest, SecondInterruptLeavesNoPartialImageUnderADeviceName) {
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(CliCommand({"--image=image.img", "--count=" + std::to_string(kCount)}),
                    options);
  ASSERT_TRUE(tool.started());
  ASSERT_TRUE(tool.ReadLine(kChildTimeout).has_value());
  tool.Signal(SIGINT);
  tool.Signal(SIGINT);
  const ChildResult result = tool.Finish(kChildTimeout);

  EXPECT_TRUE(result.termSignal == SIGINT || result.exitCode == 130)
      << result.exitCode << " " << result.termSignal;
  int device = 0;
  for (const std::string& name : m_dir.List("out")) {
    if (name.front() == '.')
      continue;  // a temporary file may stay behind
    ASSERT_EQ(name, DeviceName(device));
    EXPECT_EQ(ReadFileBytes(Out(name)), DeviceImage(0x045755000000 + device, 1)) << name;
    ++device;
  }
}

}  // namespace
}  // namespace quillmark::test
