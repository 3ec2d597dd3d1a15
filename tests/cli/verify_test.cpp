// quillmark-cli verify on batches written by the tool itself, with faults
// made for real in the output folder.
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

#include "cli_fixture.h"

namespace quillmark::test {
namespace {

// Six devices of two addresses from 04:57:55:00:00:fe, and their manifest.
const char* const kNames[] = {"fw_045755_0000fe.img", "fw_045755_000100.img",
                              "fw_045755_000102.img", "fw_045755_000104.img",
                              "fw_045755_000106.img", "fw_045755_000108.img"};
const char* const kAddresses[] = {"04:57:55:00:00:fe", "04:57:55:00:01:00", "04:57:55:00:01:02",
                                  "04:57:55:00:01:04", "04:57:55:00:01:06", "04:57:55:00:01:08"};
const std::vector<std::string> kFields = {"--image=image.img", "--start-mac=04:57:55:00:00:fe",
                                          "--count=6", "--macs-per-device=2"};

std::vector<std::string> With(std::vector<std::string> args, const std::vector<std::string>& more) {
  args.insert(args.end(), more.begin(), more.end());
  return args;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
  return std::string(bytes.begin(), bytes.end());
}

class VerifyTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    const ChildResult written = Run(With(kFields, {"--manifest=lot.csv", "--quiet"}));
    ASSERT_EQ(written.exitCode, 0) << written.err;
  }

  ChildResult Verify(const std::vector<std::string>& args, ChildOptions options = {}) {
    return Run(With({"verify"}, args), options);
  }

  void FlipByte(const std::string& name, std::uint32_t offset, std::uint8_t mask) {
    std::vector<std::uint8_t> bytes = ReadFileBytes(Out(name));
    bytes.at(offset) ^= mask;
    WriteFileBytes(Out(name), bytes);
  }
  void Replace(const std::string& name, const std::function<void(const std::string&)>& make) {
    ASSERT_EQ(::unlink(Out(name).c_str()), 0);
    make(Out(name));
  }
};

struct FaultCase {
  const char* what;
  std::function<void()> make;
  std::vector<std::string> deviceLines;  // one per device, "" for an exact one
  std::vector<std::string> folderLines;
  std::string summary;
  int exitCode;
};

constexpr std::uint32_t kRecords = k4MiB - 0x10000;

// Every fault through the fields and through the manifest; the whole
// output is checked line by line.
TEST_F(VerifyTest, EachFaultIsOneLineAndSetsTheExitStatus) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const std::string clean = "校验结束：已校验6台，完好6台，失败0台";
  const std::string oneFailed = "校验结束：已校验6台，完好5台，失败1台";
  const FaultCase cases[] = {
      {"clean", [] {}, {}, {}, clean, 0},
      {"byte flipped in the image part",
       [this] { FlipByte(kNames[2], 0x20001, 0x40); },
       {"", "", "文件内容不符: out/fw_045755_000102.img 偏移0x20001"},
       {},
       oneFailed,
       3},
      {"byte flipped in the record area",
       [this] { FlipByte(kNames[1], kRecords + 2, 0x01); },
       {"",
        "MAC记录错误: out/fw_045755_000100.img 找到 04:57:54:00:01:00 04:57:55:00:01:01，应为 "
        "04:57:55:00:01:00 04:57:55:00:01:01"},
       {},
       oneFailed,
       3},
      {"a device holding its neighbour's addresses",
       [this] { WriteFileBytes(Out(kNames[3]), ReadFileBytes(Out(kNames[4]))); },
       {"", "", "",
        "MAC记录错误: out/fw_045755_000104.img 找到 04:57:55:00:01:06 04:57:55:00:01:07，"
        "应为 04:57:55:00:01:04 04:57:55:00:01:05"},
       {},
       oneFailed,
       3},
      {"truncated",
       [this] { ASSERT_EQ(::truncate(Out(kNames[5]).c_str(), 4096), 0); },
       {"", "", "", "", "", "文件大小错误: out/fw_045755_000108.img 4096"},
       {},
       oneFailed,
       3},
      {"missing",
       [this] { ASSERT_EQ(::unlink(Out(kNames[0]).c_str()), 0); },
       {"文件缺失: out/fw_045755_0000fe.img"},
       {},
       oneFailed,
       3},
      {"a link and a folder under device names",
       [this] {
         Replace(kNames[1], [&](const std::string& path) {
           ASSERT_EQ(::symlink(kNames[0], path.c_str()), 0);
         });
         Replace(kNames[4],
                 [](const std::string& path) { ASSERT_EQ(::mkdir(path.c_str(), 0777), 0); });
       },
       {"", "不是普通文件: out/fw_045755_000100.img", "", "",
        "不是普通文件: out/fw_045755_000106.img"},
       {},
       "校验结束：已校验6台，完好4台，失败2台",
       3},
      {"a leftover temporary file",
       [this] {
         WriteFileBytes(Out(".fw_045755_00010a.img.part"), {1, 2, 3});
       },
       {},
       {"残留临时文件: out/.fw_045755_00010a.img.part"},
       clean,
       0},
      {"a device file outside the batch",
       [this] { WriteFileBytes(Out("fw_045755_00010a.img"), DeviceImage(0x04575500010a, 2)); },
       {},
       {"批次外文件: out/fw_045755_00010a.img"},
       "校验结束：已校验6台，完好6台，失败0台，批次外文件1个",
       3},
      {"a file holding one of the batch's addresses",
       [this] { WriteFileBytes(Out("fw_045755_00ff00.img"), DeviceImage(0x045755000105, 2)); },
       {},
       {"MAC地址重复: out/fw_045755_00ff00.img 04:57:55:00:01:05"},
       "校验结束：已校验6台，完好6台，失败0台，MAC地址重复文件1个",
       3},
  };
  for (const FaultCase& c : cases) {
    for (const bool manifest : {false, true}) {
      SCOPED_TRACE(std::string(c.what) + (manifest ? " (manifest)" : " (fields)"));
      std::filesystem::remove_all(m_dir / "out");
      ASSERT_EQ(Run(With(kFields, {"--quiet"})).exitCode, 0);
      c.make();
      const ChildResult result = Verify(
          manifest ? std::vector<std::string>{"--image=image.img", "--manifest=lot.csv"} : kFields);
      std::vector<std::string> expected;
      for (std::size_t device = 0; device < 6; ++device) {
        expected.push_back(std::string("校验MAC固件: ") + kAddresses[device]);
        if (device < c.deviceLines.size() && !c.deviceLines[device].empty())
          expected.push_back(c.deviceLines[device]);
      }
      expected.insert(expected.end(), c.folderLines.begin(), c.folderLines.end());
      expected.push_back(c.summary);
      EXPECT_EQ(Lines(result.out), expected);
      EXPECT_EQ(result.err, "");
      EXPECT_EQ(result.exitCode, c.exitCode);
    }
  }
}

TEST_F(VerifyTest, QuietPrintsOnlyWhatFailsAndTheSummary) {
  QUILLMARK_SKIP_IN_ENGLISH();
  WriteFileBytes(Out(".fw_045755_00010a.img.part"), {1});
  ASSERT_EQ(::truncate(Out(kNames[2]).c_str(), k4MiB + 1), 0);
  const ChildResult result = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{"文件大小错误: out/fw_045755_000102.img 4194305",
                                      "校验结束：已校验6台，完好5台，失败1台"}));
}

TEST_F(VerifyTest, FilesOfAnotherLotFailTheFolderEvenQuietlyUnlessAllowed) {
  QUILLMARK_SKIP_IN_ENGLISH();
  WriteFileBytes(Out("fw_045755_00010a.img"), DeviceImage(0x04575500010a, 2));
  WriteFileBytes(Out("fw_045755_009999.img"), {1});
  WriteFileBytes(Out(".fw_045755_00010c.img.part"), {1});
  const std::vector<std::string> listed = {"批次外文件: out/fw_045755_00010a.img",
                                           "批次外文件: out/fw_045755_009999.img"};
  const std::string summary = "校验结束：已校验6台，完好6台，失败0台，批次外文件2个";
  for (const bool allowed : {false, true}) {
    SCOPED_TRACE(allowed ? "allowed" : "not allowed");
    std::vector<std::string> args = With(kFields, {"--quiet", "--report=report.csv"});
    if (allowed)
      args.push_back("--allow-other-files");
    const ChildResult result = Verify(args);
    std::vector<std::string> expected = listed;
    expected.push_back(summary);
    EXPECT_EQ(Lines(result.out), expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, allowed ? 0 : 3);
    const std::string report = Text(ReadFileBytes(m_dir / "report.csv"));
    EXPECT_NE(report.find("fw_045755_00010a.img,extra,\nfw_045755_009999.img,extra,\n"),
              std::string::npos)
        << report;
  }
}

TEST_F(VerifyTest, AnotherImageIsNamedOnceWhenMostDevicesDifferAtOneOffset) {
  QUILLMARK_SKIP_IN_ENGLISH();
  for (std::size_t device = 0; device < 4; ++device)
    FlipByte(kNames[device], 0x100000, 0xff);
  const ChildResult result = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(result.exitCode, 3);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 6u) << result.out;
  EXPECT_EQ(lines[4], "大多数设备在同一偏移0x100000处不符：给出的镜像可能不是写入时用的镜像");
  EXPECT_EQ(lines[5], "校验结束：已校验6台，完好2台，失败4台");

  // Two of six at one offset: damage, not another image.
  ASSERT_EQ(Run(With(kFields, {"--quiet"})).exitCode, 0);
  FlipByte(kNames[0], 0x100000, 0xff);
  FlipByte(kNames[1], 0x100000, 0xff);
  const ChildResult few = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(few.out.find("大多数设备"), std::string::npos) << few.out;
}

TEST_F(VerifyTest, ReportListsEveryDeviceAndEveryOtherFile) {
  FlipByte(kNames[0], 0x3fffff, 0xff);
  ASSERT_EQ(::mkdir(Out("fw_045755_000101.img").c_str(), 0777), 0);
  WriteFileBytes(Out("fw_a,\"b\".img"), {1});
  WriteFileBytes(m_dir / "report.csv", {'o', 'l', 'd'});
  const ChildResult result = Verify(With(kFields, {"--report=report.csv", "--quiet"}));
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "report.csv")),
            "file,result,detail\n"
            "fw_045755_0000fe.img,differs,0x3fffff\n"
            "fw_045755_000100.img,exact,\n"
            "fw_045755_000102.img,exact,\n"
            "fw_045755_000104.img,exact,\n"
            "fw_045755_000106.img,exact,\n"
            "fw_045755_000108.img,exact,\n"
            "fw_045755_000101.img,duplicate,04:57:55:00:01:01\n"
            "\"fw_a,\"\"b\"\".img\",extra,\n");
  // Written under a temporary name and renamed.
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img", "lot.csv", "out", "report.csv"}));
}

TEST_F(VerifyTest, AReportThatCannotBeWrittenRefusesTheRequest) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const ChildResult result = Verify(With(kFields, {"--report=missing/report.csv"}));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err,
            "missing/report.csv：所在目录不存在\n报告文件无法写入！missing/report.csv\n");
  EXPECT_EQ(result.out, "");
}

TEST_F(VerifyTest, ARefusedRequestChecksNothingAndCreatesNothing) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--image=image.img", "--start-mac=05:00:00:00:00:00"},
       "05:00:00:00:00:00：第一个字节须为单播、全球管理地址\n起始MAC地址输入错误！"},
      {{"--image=image.img", "--count=0"}, "0：须为1到65535\n生成数量输入错误！"},
      {{"--image=image.img", "--macs-per-device=5"}, "5：须为1到4\n每设备分配MAC数量错误！"},
      {{"--image=lot.csv"},
       std::to_string(ReadFileBytes(m_dir / "lot.csv").size()) +
           "字节：须为4194304、8388608或16777216\n文件大小错误！" +
           std::to_string(ReadFileBytes(m_dir / "lot.csv").size())},
      {{"--image=none.img"}, "none.img：无法打开（不存在、不是文件或无权读取）\n读取文件错误！"},
      {{"--image=image.img", "--out=elsewhere"},
       "elsewhere：不存在（校验不创建目录）\n输出目录错误！"},
      {{"--image=image.img", "--out=elsewhere", "--manifest=lot.csv"},
       "elsewhere：不存在或不是目录（校验不创建目录）\n输出目录错误！"},
      {{"--image=none.img", "--manifest=lot.csv"},
       "none.img：无法打开（不存在、不是文件或无权读取）\n读取文件错误！"},
      {{"--image=image.img", "--manifest=none.csv"}, "读取清单文件错误！none.csv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    const ChildResult result = Verify(c.args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, c.error + "\n");
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"image.img", "lot.csv", "out"}));
}

TEST_F(VerifyTest, AManifestThatIsNotOneIsRefusedNamingTheLine) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const std::string header = "file,mac1,mac2\n";
  const std::string row2 = std::string(kNames[0]) + ",04:57:55:00:00:fe,04:57:55:00:00:ff\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"file,mac1\n" + row2, "清单文件第2行错误！应有2个字段，实有3个"},
      {"name,mac1,mac2\n" + row2,
       "清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：name,mac1,mac2"},
      {header + row2 + "fw_045755_000100.img,04:57:55:00:01:00\n",
       "清单文件第3行错误！应有3个字段，实有2个"},
      {header + "fw_045755_0000fe.img,04:57:55:00:00:fe,04:57:55:00:00:fg\n",
       "清单文件第2行错误！MAC地址格式错误：04:57:55:00:00:fg"},
      {header + "fw_045755_0000ff.img,04:57:55:00:00:fe,04:57:55:00:00:ff\n",
       "清单文件第2行错误！文件名与首个MAC地址不符：fw_045755_0000ff.img应为fw_045755_0000fe.img"},
      {header + row2 + row2, "清单文件第3行错误！MAC地址04:57:55:00:00:fe与第2行重复"},
      {header + "fw_045755_0000fe.img,04:57:55:00:00:fe,04:57:55:00:01:00\n",
       "清单文件第2行错误！MAC地址不连续：04:57:55:00:01:00应为04:57:55:00:00:ff"},
      {header + row2.substr(0, row2.size() - 1), "清单文件第2行错误！行尾没有换行符，文件不完整"},
      {header, "清单文件中没有设备！bad.csv"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    WriteFileBytes(m_dir / "bad.csv", std::vector<std::uint8_t>(c.text.begin(), c.text.end()));
    const ChildResult result = Verify({"--image=image.img", "--manifest=bad.csv"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.err, c.error + "\n");
    EXPECT_EQ(result.out, "");
  }
}

TEST_F(VerifyTest, UsageErrors) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, "缺少必需的选项 --image；用 quillmark-cli verify --help 查看用法"},
      {{"--image=image.img", "--manifest=lot.csv", "--count=6"},
       "--manifest 不能与 --start-mac、--count、--macs-per-device 同时使用；用 quillmark-cli "
       "verify --help 查看用法"},
      {{"--image=image.img", "--durable"},
       "无法识别的参数：--durable；用 quillmark-cli verify --help 查看用法"},
      {{"--image=image.img", "--quite"},
       "无法识别的参数：--quite；用 quillmark-cli verify --help 查看用法"},
  };
  for (const auto& c : cases) {
    const ChildResult result = Verify(c.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "quillmark-cli: " + c.error + "\n");
  }
  const ChildResult help = Verify({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind("用法: quillmark-cli verify --image PATH", 0), 0u) << help.out;
}

TEST_F(VerifyTest, OnATerminalTheProgressSharesOneLine) {
  QUILLMARK_SKIP_IN_ENGLISH();
  FlipByte(kNames[3], 5, 1);
  ChildOptions options;
  options.terminal = true;
  const ChildResult result = Verify(kFields, options);
  EXPECT_EQ(result.exitCode, 3);
  // What the terminal shows of each line: the text after the last return.
  std::vector<std::string> visible;
  for (std::string line : Lines(result.out)) {
    line.erase(0, line.rfind('\r') == std::string::npos ? 0 : line.rfind('\r') + 1);
    for (std::size_t erase; (erase = line.find("\x1b[K")) != std::string::npos;)
      line.erase(erase, 3);
    visible.push_back(line);
  }
  ASSERT_EQ(visible.size(), 3u) << result.out;
  EXPECT_EQ(visible[0], "文件内容不符: out/fw_045755_000104.img 偏移0x5");
  EXPECT_EQ(visible[1].rfind("校验MAC固件: 04:57:55:00:01:08  6/6", 0), 0u) << visible[1];
  EXPECT_EQ(visible[2], "校验结束：已校验6台，完好5台，失败1台");
}

struct SizeCase {
  std::uint32_t imageSize;
  int macsPerDevice;
};

void PrintTo(const SizeCase& c, std::ostream* os) {
  *os << (c.imageSize >> 20) << " MiB, " << c.macsPerDevice << " per device";
}

class CleanBatchTest : public CliTest, public testing::WithParamInterface<SizeCase> {};

// A batch straight from the writer is exact, checked through the fields
// that wrote it and through the manifest of the run that wrote it.
TEST_P(CleanBatchTest, VerifiesWithExitZero) {
  QUILLMARK_SKIP_IN_ENGLISH();
  WriteFileBytes(m_dir / "image.img", MakeValidImage(GetParam().imageSize));
  const std::vector<std::string> fields = {
      "--image=image.img", "--start-mac=04:57:55:ff:ff:fe", "--count=4",
      "--macs-per-device=" + std::to_string(GetParam().macsPerDevice)};
  ASSERT_EQ(Run(With(fields, {"--manifest=lot.csv", "--quiet"})).exitCode, 0);
  const std::string summary = "校验结束：已校验4台，完好4台，失败0台\n";
  for (const std::vector<std::string>& request :
       {fields, std::vector<std::string>{"--image=image.img", "--manifest=lot.csv"}}) {
    const ChildResult result = Run(With(With({"verify"}, request), {"--quiet"}));
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.out, summary);
  }
}

INSTANTIATE_TEST_SUITE_P(ImageSizes, CleanBatchTest,
                         testing::Values(SizeCase{k4MiB, 1}, SizeCase{k8MiB, 2},
                                         SizeCase{k16MiB, 4}),
                         [](const testing::TestParamInfo<SizeCase>& info) {
                           return std::to_string(info.param.imageSize >> 20) + "MiB";
                         });

// The output of a large batch fills the pipe while the test reads nothing,
// so the check is surely still running when the signal comes.
class VerifyStopTest : public CliTest, public testing::WithParamInterface<int> {};

TEST_P(VerifyStopTest, ASignalStopsTheCheckAndTheSummarySaysHowFarItGot) {
  QUILLMARK_SKIP_IN_ENGLISH();
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(
      CliCommand({"verify", "--image=image.img", "--count=65535", "--report=report.csv"}), options);
  ASSERT_TRUE(tool.started());
  ASSERT_EQ(tool.ReadLine(kChildTimeout), "校验MAC固件: 04:57:55:00:00:00");
  tool.Signal(GetParam());
  const ChildResult result = tool.Finish(kChildTimeout);
  EXPECT_EQ(result.exitCode, 128 + GetParam());
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind("校验已停止：已校验", 0), 0u) << lines.back();
  EXPECT_NE(lines.back().find("台（共65535台），完好0台，失败"), std::string::npos) << lines.back();
  // Every device has its row, those not reached as unchecked.
  EXPECT_EQ(Lines(Text(ReadFileBytes(m_dir / "report.csv"))).size(), 65536u);
}

INSTANTIATE_TEST_SUITE_P(Signals, VerifyStopTest, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

}  // namespace
}  // namespace quillmark::test
