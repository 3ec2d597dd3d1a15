// A stop asked by SIGINT, SIGTERM or SIGHUP during a run, once or repeatedly.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

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
  const char* name;
  std::vector<int> signals;  // sent in this order, 10 ms apart
  int exitCode;              // that of the first
};

void PrintTo(const StopCase& stop, std::ostream* os) {
  *os << stop.name;
}

class StopSignalTest : public CliTest, public testing::WithParamInterface<StopCase> {};

// Whatever stop signals arrive, one or several, the same orderly stop: the
// file being written completes; the devices written so far are the first
// ones, complete, exactly those in the manifest, and nothing else (no
// temporary file) is left in the folder.
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
  for (std::size_t i = 0; i < GetParam().signals.size(); ++i) {
    if (i > 0)
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tool.Signal(GetParam().signals[i]);
  }
  const ChildResult result = tool.Finish(kChildTimeout);

  EXPECT_EQ(result.exitCode, GetParam().exitCode) << "ended by signal " << result.termSignal;
  const std::vector<std::string> written = m_dir.List("out");
  const int count = static_cast<int>(written.size());
  EXPECT_GE(count, 1);
  EXPECT_LT(count, kCount);
  const std::string done = std::to_string(count);
  const std::string all = std::to_string(kCount);
  EXPECT_EQ(result.err,
            Said("运行已停止：已写入" + done + "个设备文件（共" + all + "个）；",
                 "Run stopped: " + done + " of " + all + " device files written; ") +
                RunEndCountText(count, 0, kCount - count) +
                Said("\n完成本批（同一批次再次写入同一目录）：",
                     "\nTo finish the batch (the same batch again into the same folder): ") +
                "quillmark-cli --image=image.img --out=out --start-mac=04:57:55:00:00:00 --count=" +
                all + " --macs-per-device=1 --manifest=list.csv\n");
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

INSTANTIATE_TEST_SUITE_P(
    Signals, StopSignalTest,
    testing::Values(StopCase{"Interrupt", {SIGINT}, 130}, StopCase{"Terminate", {SIGTERM}, 143},
                    StopCase{"HangUp", {SIGHUP}, 129},
                    StopCase{"InterruptTwice", {SIGINT, SIGINT}, 130},
                    StopCase{"TerminateThenInterrupt", {SIGTERM, SIGINT}, 143},
                    StopCase{"HangUpThenTheOthers", {SIGHUP, SIGHUP, SIGTERM, SIGINT}, 129},
                    StopCase{"InterruptThenTheOthers", {SIGINT, SIGHUP, SIGTERM, SIGINT}, 130}),
    [](const testing::TestParamInfo<StopCase>& info) { return info.param.name; });

// Standard output a pipe nobody reads: the tool stalls writing a line,
// and a stop must still end the run the documented way, the file in hand
// completed, the manifest written, no temporary file left.
TEST_F(CliTest, StopEndsARunWhoseOutputPipeIsFull) {
  const std::string fifo = m_root + "/stdout.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  // One page: whole lines fill it until the next one no longer fits.
  ASSERT_EQ(::fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
  // Room for three saving lines and a few bytes, no more.
  const std::size_t line = Saving("04:57:55:00:00:00").size() + 1;
  const std::string filler(4096 - 3 * line - 5, '#');
  const int filling = ::open(fifo.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(filling, 0);
  ASSERT_EQ(::write(filling, filler.data(), filler.size()), static_cast<ssize_t>(filler.size()));
  ::close(filling);

  ChildOptions options;
  options.workingDirectory = m_root;
  options.outputPath = fifo;
  ChildProcess tool(CliCommand({"--image=image.img", "--count=2000", "--manifest=list.csv"}),
                    options);
  ASSERT_TRUE(tool.started());
  // Three lines in, the fourth cannot be: the run waits on its output.
  const auto giveUp = std::chrono::steady_clock::now() + kChildTimeout;
  for (int queued = 0; queued != static_cast<int>(filler.size() + 3 * line);) {
    ASSERT_LT(std::chrono::steady_clock::now(), giveUp) << "the run never filled its output";
    ASSERT_EQ(::ioctl(reader, FIONREAD, &queued), 0);
    ::poll(nullptr, 0, 10);
  }
  ASSERT_TRUE(tool.Signal(SIGTERM));
  const ChildResult result = tool.Finish(kChildTimeout);
  ::close(reader);

  EXPECT_EQ(result.exitCode, 143) << "ended by signal " << result.termSignal;
  const std::vector<std::string> written = m_dir.List("out");
  ASSERT_GE(written.size(), 3u);
  ASSERT_LT(written.size(), 2000u);
  std::string manifest = "file,mac1\n";
  for (std::size_t device = 0; device < written.size(); ++device) {
    ASSERT_EQ(written[device], DeviceName(static_cast<int>(device)));
    EXPECT_EQ(ReadFileBytes(Out(written[device])), DeviceImage(0x045755000000 + device, 1));
    char address[24];
    std::snprintf(address, sizeof address, "04:57:55:00:%02x:%02x",
                  static_cast<unsigned>(device >> 8) & 0xff, static_cast<unsigned>(device & 0xff));
    manifest += written[device] + "," + address + "\n";
  }
  const std::vector<std::uint8_t> bytes = ReadFileBytes(m_dir / "list.csv");
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), manifest);
  EXPECT_NE(
      result.err.find(Said("运行已停止：已写入" + std::to_string(written.size()) + "个设备文件",
                           "Run stopped: " + std::to_string(written.size()) + " of 2000")),
      std::string::npos)
      << result.err;
}

}  // namespace
}  // namespace quillmark::test
