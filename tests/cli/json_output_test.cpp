// --json for the write command, its dry run and verify: every line of
// standard output is one JSON object that python3's json module reads,
// the texts on standard error stay as they are, and the summary's exit
// status is the process's.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "cli_fixture.h"
#include "json_lines.h"
#include "json_run.h"

namespace quillmark::test {
namespace {

class JsonOutputTest : public CliTest {};

std::string Status(const ChildResult& result) {
  return std::to_string(result.exitCode);
}

TEST_F(JsonOutputTest, AWriteSaysEachDeviceThenASummaryWithItsExitStatus) {
  const ChildResult result = Run(
      {"--image=image.img", "--count=3", "--macs-per-device=2", "--manifest=list.csv", "--json"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::vector<JsonObject> lines = ParseJsonLines(result.out);
  ASSERT_EQ(lines.size(), 4u) << result.out;
  EXPECT_EQ(lines[0], (JsonObject{{"event", Quoted("device")},
                                  {"index", "1"},
                                  {"file", Quoted("fw_045755_000000.img")},
                                  {"macs", "[\"04:57:55:00:00:00\",\"04:57:55:00:00:01\"]"},
                                  {"status", Quoted("written")}}));
  EXPECT_EQ(lines[2].at("index"), "3");
  EXPECT_EQ(lines[2].at("file"), Quoted("fw_045755_000004.img"));
  EXPECT_EQ(lines[3], (JsonObject{{"event", Quoted("summary")},
                                  {"result", Quoted("finished")},
                                  {"devices", "3"},
                                  {"macs_per_device", "2"},
                                  {"first_mac", Quoted("04:57:55:00:00:00")},
                                  {"last_mac", Quoted("04:57:55:00:00:05")},
                                  {"written", "3"},
                                  {"failed", "0"},
                                  {"not_reached", "0"},
                                  {"folder", Quoted("out")},
                                  {"manifest", Quoted("list.csv")},
                                  {"manifest_saved", "true"},
                                  {"ledger", "false"},
                                  {"batch_id", "null"},
                                  {"exit_status", Status(result)}}));
  EXPECT_EQ(ReadFileBytes(Out("fw_045755_000004.img")), DeviceImage(0x045755000004, 2));
}

// A device that cannot be created ends the run; short writes fail each
// device and the run goes on. Either way every failed device has its
// event, with the failure's text as the text output prints it.
TEST_F(JsonOutputTest, FailedDevicesHaveTheirEventsAndTheSummaryTheRunsStatus) {
  ASSERT_EQ(::mkdir(Out("").c_str(), 0777), 0);
  ASSERT_EQ(::mkdir(Out("fw_045755_000001.img").c_str(), 0777), 0);
  const ChildResult blocked = Run({"--image=image.img", "--count=3", "--json"});
  EXPECT_EQ(blocked.exitCode, 3);
  EXPECT_EQ(blocked.err, "");
  std::vector<JsonObject> lines = ParseJsonLines(blocked.out);
  ASSERT_EQ(lines.size(), 3u) << blocked.out;
  EXPECT_EQ(lines[0].at("status"), Quoted("written"));
  EXPECT_EQ(lines[1].at("index"), "2");
  EXPECT_EQ(lines[1].at("status"), Quoted("failed"));
  EXPECT_EQ(lines[1].at("error"), Quoted("creation_failed"));
  EXPECT_EQ(lines[1].at("message"), Quoted(CreationFailedText(Out("fw_045755_000001.img"))));
  EXPECT_EQ(lines[2].at("result"), Quoted("failed"));
  EXPECT_EQ(lines[2].at("written"), "1");
  EXPECT_EQ(lines[2].at("failed"), "1");
  EXPECT_EQ(lines[2].at("not_reached"), "1");
  EXPECT_EQ(lines[2].at("exit_status"), Status(blocked));

  ChildOptions limited;
  limited.fileSizeLimit = 1 << 20;
  const ChildResult shortWrites =
      Run({"--image=image.img", "--count=2", "--out=short", "--json"}, limited);
  EXPECT_EQ(shortWrites.exitCode, 3);
  lines = ParseJsonLines(shortWrites.out);
  ASSERT_EQ(lines.size(), 3u) << shortWrites.out;
  for (int device = 0; device < 2; ++device) {
    EXPECT_EQ(lines[device].at("index"), std::to_string(device + 1));
    EXPECT_EQ(lines[device].at("error"), Quoted("write_failed"));
  }
  EXPECT_EQ(lines[2].at("failed"), "2");
  EXPECT_EQ(lines[2].at("not_reached"), "0");
  EXPECT_EQ(lines[2].at("exit_status"), Status(shortWrites));
  EXPECT_EQ(m_dir.List("short"), std::vector<std::string>{});
}

TEST_F(JsonOutputTest, ADryRunPlansAndARefusalIsASummaryWithTheRefusalLastOnStandardError) {
  const ChildResult dry = Run(
      {"--image=image.img", "--count=2", "--start-mac=04:57:55:00:10:00", "--dry-run", "--json"});
  EXPECT_EQ(dry.exitCode, 0) << dry.err;
  std::vector<JsonObject> lines = ParseJsonLines(dry.out);
  ASSERT_EQ(lines.size(), 3u) << dry.out;
  EXPECT_EQ(lines[1].at("status"), Quoted("planned"));
  EXPECT_EQ(lines[1].at("macs"), "[\"04:57:55:00:10:01\"]");
  EXPECT_EQ(lines[2].at("result"), Quoted("planned"));
  EXPECT_EQ(lines[2].at("last_mac"), Quoted("04:57:55:00:10:01"));
  EXPECT_EQ(lines[2].at("exit_status"), "0");
  EXPECT_FALSE(std::filesystem::exists(Out("")));

  const ChildResult refused = Run({"--image=image.img", "--count=0", "--json"});
  const ChildResult asText = Run({"--image=image.img", "--count=0"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(refused.err, asText.err);
  const std::string invalidCount = Said("生成数量输入错误！", "Invalid device count.");
  EXPECT_EQ(Lines(refused.err).back(), invalidCount);
  lines = ParseJsonLines(refused.out);
  ASSERT_EQ(lines.size(), 1u) << refused.out;
  EXPECT_EQ(lines[0].at("result"), Quoted("refused"));
  EXPECT_EQ(lines[0].at("devices"), "null");
  EXPECT_EQ(lines[0].at("exit_status"), Status(refused));
  EXPECT_EQ(lines[0].at("message"), Quoted(invalidCount));
}

// Names come from the folder and the command line: a control character
// is escaped and a byte that is not UTF-8 becomes U+FFFD, so each line
// stays one valid UTF-8 JSON object.
TEST_F(JsonOutputTest, ControlCharactersAndForeignBytesInNamesKeepEveryLineValid) {
  const std::string folder = "lot\x01\xff";
  ASSERT_EQ(Run({"--image=image.img", "--count=2", "--out=" + folder, "--json"}).exitCode, 0);
  WriteFileBytes(m_dir / (folder + "/fw_\x1b\xfe.img"), {1});

  const ChildResult verify =
      Run({"verify", "--image=image.img", "--count=2", "--out=" + folder, "--json"});
  EXPECT_EQ(verify.exitCode, 3);
  const std::vector<JsonObject> lines = ParseJsonLines(verify.out);
  ASSERT_EQ(lines.size(), 4u) << verify.out;
  EXPECT_EQ(lines[2].at("event"), Quoted("other_file"));
  EXPECT_EQ(lines[2].at("file"), Quoted("fw_\\u001b\uFFFD.img"));
  EXPECT_EQ(lines[2].at("kind"), Quoted("extra"));
  EXPECT_EQ(lines[3].at("folder"), Quoted("lot\\u0001\uFFFD"));
  EXPECT_EQ(lines[3].at("other_files"), "1");
  EXPECT_EQ(lines[3].at("result"), Quoted("failed"));
  EXPECT_EQ(lines[3].at("exit_status"), Status(verify));
}

TEST_F(JsonOutputTest, VerifySaysEachDeviceEachOtherFileAndTheCounts) {
  ASSERT_EQ(Run({"--image=image.img", "--count=3", "--quiet"}).exitCode, 0);
  std::vector<std::uint8_t> wrong = DeviceImage(0x045755000009, 1);
  WriteFileBytes(Out("fw_045755_000001.img"), wrong);
  std::filesystem::remove(Out("fw_045755_000002.img"));
  WriteFileBytes(Out(".fw_045755_000002.img.part"), {1});

  const ChildResult verify =
      Run({"verify", "--image=image.img", "--count=3", "--report=report.csv", "--json"});
  EXPECT_EQ(verify.exitCode, 3);
  EXPECT_EQ(verify.err, "");
  const std::vector<JsonObject> lines = ParseJsonLines(verify.out);
  ASSERT_EQ(lines.size(), 5u) << verify.out;
  EXPECT_EQ(lines[0].at("status"), Quoted("exact"));
  EXPECT_EQ(lines[0].at("fault"), "null");
  EXPECT_EQ(lines[1].at("fault"), Quoted("records_wrong"));
  EXPECT_EQ(lines[1].at("found_macs"), "[\"04:57:55:00:00:09\"]");
  EXPECT_EQ(lines[2].at("index"), "3");
  EXPECT_EQ(lines[2].at("fault"), Quoted("missing"));
  EXPECT_EQ(lines[3].at("kind"), Quoted("leftover"));
  EXPECT_EQ(lines[4], (JsonObject{{"event", Quoted("summary")},
                                  {"result", Quoted("failed")},
                                  {"devices", "3"},
                                  {"unchecked", "0"},
                                  {"checked", "3"},
                                  {"exact", "1"},
                                  {"failed", "2"},
                                  {"duplicate_files", "0"},
                                  {"other_files", "0"},
                                  {"other_files_allowed", "false"},
                                  {"folder_listed", "true"},
                                  {"folder", Quoted("out")},
                                  {"report", Quoted("report.csv")},
                                  {"report_saved", "true"},
                                  {"exit_status", Status(verify)}}));

  const ChildResult refused =
      Run({"verify", "--image=image.img", "--count=3", "--out=nowhere", "--json"});
  EXPECT_EQ(refused.exitCode, 1);
  EXPECT_EQ(Lines(refused.err).back(), Said("输出目录错误！", "The output folder cannot be used."));
  const std::vector<JsonObject> summary = ParseJsonLines(refused.out);
  ASSERT_EQ(summary.size(), 1u) << refused.out;
  EXPECT_EQ(summary[0].at("result"), Quoted("refused"));
  EXPECT_EQ(summary[0].at("exit_status"), Status(refused));
}

// Standard output is a pipe of one page that the test does not drain, so
// the run blocks writing an event before its last device; the stop comes
// while it waits there. The event being written is neither lost nor cut,
// and the summary says how far the run got.
TEST_F(JsonOutputTest, AStopWhileStandardOutputIsFullLosesNoEventAndEndsWithTheSummary) {
  const std::string fifo = m_dir / "stdout.fifo";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const int reader = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  ASSERT_GE(reader, 0);
  ASSERT_EQ(::fcntl(reader, F_SETPIPE_SZ, 4096), 4096);
  constexpr int kCount = 50;
  ChildOptions options;
  options.workingDirectory = m_root;
  options.outputPath = fifo;
  ChildProcess tool(CliCommand({"--image=image.img", "--count=" + std::to_string(kCount),
                                "--macs-per-device=4", "--json"}),
                    options);
  ASSERT_TRUE(tool.started());

  // Full: the shortest event no longer fits beside what waits in the pipe.
  const std::size_t shortest =
      cli::DeviceEvent(1, *MacAddress::Parse("04:57:55:00:00:00"), 4, "written").Line().size();
  const auto deadline = std::chrono::steady_clock::now() + kChildTimeout;
  int waiting = 0;
  while (::ioctl(reader, FIONREAD, &waiting) == 0 && 4096 - waiting >= static_cast<int>(shortest) &&
         std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_LT(4096 - waiting, static_cast<int>(shortest)) << "the run never filled the pipe";
  ASSERT_TRUE(tool.Signal(SIGINT));

  std::string out;
  char buffer[4096];
  while (std::chrono::steady_clock::now() < deadline) {
    const ssize_t got = ::read(reader, buffer, sizeof buffer);
    if (got == 0)
      break;  // the tool closed its end
    if (got > 0)
      out.append(buffer, static_cast<std::size_t>(got));
    else
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ::close(reader);
  const ChildResult result = tool.Finish(kChildTimeout);
  EXPECT_EQ(result.exitCode, 130) << result.err;

  const std::vector<JsonObject> lines = ParseJsonLines(out);
  ASSERT_GE(lines.size(), 2u) << out;
  const std::size_t devices = lines.size() - 1;
  for (std::size_t i = 0; i < devices; ++i) {
    EXPECT_EQ(lines[i].at("index"), std::to_string(i + 1));
    EXPECT_EQ(lines[i].at("status"), Quoted("written"));
  }
  EXPECT_EQ(m_dir.List("out").size(), devices);
  const JsonObject& summary = lines.back();
  EXPECT_EQ(summary.at("result"), Quoted("stopped"));
  EXPECT_EQ(summary.at("written"), std::to_string(devices));
  EXPECT_EQ(summary.at("not_reached"), std::to_string(kCount - devices));
  EXPECT_EQ(summary.at("exit_status"), Status(result));
  // Standard error as without --json: the stop line, then how to finish.
  const std::vector<std::string> err = Lines(result.err);
  ASSERT_EQ(err.size(), 2u) << result.err;
  const std::string written = std::to_string(devices);
  const std::string count = std::to_string(kCount);
  EXPECT_EQ(
      err[0].rfind(Said("运行已停止：已写入" + written + "个设备文件（共" + count + "个）；",
                        "Run stopped: " + written + " of " + count + " device files written; "),
                   0),
      0u)
      << err[0];
  EXPECT_EQ(err[1].rfind(Said("完成本批（同一批次再次写入同一目录）：quillmark-cli",
                              "To finish the batch (the same batch again into the same folder): "
                              "quillmark-cli"),
                         0),
            0u)
      << err[1];
}

}  // namespace
}  // namespace quillmark::test
