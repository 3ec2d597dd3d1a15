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
  const std::string clean = Said("校验结束：已校验6台，完好6台，失败0台：通过",
                                 "Check finished: 6 devices checked, 6 exact, 0 failed: passed");
  const std::string oneFailed =
      Said("校验结束：已校验6台，完好5台，失败1台：未通过",
           "Check finished: 6 devices checked, 5 exact, 1 failed: failed");
  const FaultCase cases[] = {
      {"clean", [] {}, {}, {}, clean, 0},
      {"byte flipped in the image part",
       [this] { FlipByte(kNames[2], 0x20001, 0x40); },
       {"", "",
        Said("文件内容不符: out/fw_045755_000102.img 偏移0x20001",
             "File content differs: out/fw_045755_000102.img at offset 0x20001")},
       {},
       oneFailed,
       3},
      {"byte flipped in the record area",
       [this] { FlipByte(kNames[1], kRecords + 2, 0x01); },
       {"", Said("MAC记录错误: out/fw_045755_000100.img 找到 04:57:54:00:01:00 "
                 "04:57:55:00:01:01，应为 04:57:55:00:01:00 04:57:55:00:01:01",
                 "Wrong MAC records: out/fw_045755_000100.img holds 04:57:54:00:01:00 "
                 "04:57:55:00:01:01, expected 04:57:55:00:01:00 04:57:55:00:01:01")},
       {},
       oneFailed,
       3},
      {"a device holding its neighbour's addresses",
       [this] { WriteFileBytes(Out(kNames[3]), ReadFileBytes(Out(kNames[4]))); },
       {"", "", "",
        Said("MAC记录错误: out/fw_045755_000104.img 找到 04:57:55:00:01:06 04:57:55:00:01:07，"
             "应为 04:57:55:00:01:04 04:57:55:00:01:05",
             "Wrong MAC records: out/fw_045755_000104.img holds 04:57:55:00:01:06 "
             "04:57:55:00:01:07, expected 04:57:55:00:01:04 04:57:55:00:01:05")},
       {},
       oneFailed,
       3},
      {"truncated",
       [this] { ASSERT_EQ(::truncate(Out(kNames[5]).c_str(), 4096), 0); },
       {"", "", "", "", "",
        Said("文件大小错误: out/fw_045755_000108.img 4096",
             "Wrong file size: out/fw_045755_000108.img 4096 bytes")},
       {},
       oneFailed,
       3},
      {"missing",
       [this] { ASSERT_EQ(::unlink(Out(kNames[0]).c_str()), 0); },
       {Said("文件缺失: out/fw_045755_0000fe.img", "File missing: out/fw_045755_0000fe.img")},
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
       {"",
        Said("不是普通文件: out/fw_045755_000100.img",
             "Not a regular file: out/fw_045755_000100.img"),
        "", "",
        Said("不是普通文件: out/fw_045755_000106.img",
             "Not a regular file: out/fw_045755_000106.img")},
       {},
       Said("校验结束：已校验6台，完好4台，失败2台：未通过",
            "Check finished: 6 devices checked, 4 exact, 2 failed: failed"),
       3},
      {"a leftover temporary file",
       [this] {
         WriteFileBytes(Out(".fw_045755_00010a.img.part"), {1, 2, 3});
       },
       {},
       {Said("残留临时文件: out/.fw_045755_00010a.img.part",
             "Leftover temporary file: out/.fw_045755_00010a.img.part")},
       clean,
       0},
      {"a device file outside the batch",
       [this] { WriteFileBytes(Out("fw_045755_00010a.img"), DeviceImage(0x04575500010a, 2)); },
       {},
       {Said("批次外文件: out/fw_045755_00010a.img",
             "File not in the batch: out/fw_045755_00010a.img")},
       Said("校验结束：已校验6台，完好6台，失败0台，批次外文件1个：未通过（目录中有批次外文件；"
            "给出 --allow-other-files 可让其通过）",
            "Check finished: 6 devices checked, 6 exact, 0 failed, 1 file not in the batch: "
            "failed (the folder holds files not in the batch; --allow-other-files lets them "
            "pass)"),
       3},
      {"a file holding one of the batch's addresses",
       [this] { WriteFileBytes(Out("fw_045755_00ff00.img"), DeviceImage(0x045755000105, 2)); },
       {},
       {Said("MAC地址重复: out/fw_045755_00ff00.img 04:57:55:00:01:05",
             "Duplicate MAC address: out/fw_045755_00ff00.img holds 04:57:55:00:01:05")},
       Said("校验结束：已校验6台，完好6台，失败0台，MAC地址重复文件1个：未通过",
            "Check finished: 6 devices checked, 6 exact, 0 failed, 1 file with a duplicate MAC "
            "address: failed"),
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
        expected.push_back(Said("校验MAC固件: ", "Checking device image: ") + kAddresses[device]);
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
  WriteFileBytes(Out(".fw_045755_00010a.img.part"), {1});
  ASSERT_EQ(::truncate(Out(kNames[2]).c_str(), k4MiB + 1), 0);
  const ChildResult result = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_EQ(Lines(result.out), (std::vector<std::string>{
                                   Said("文件大小错误: out/fw_045755_000102.img 4194305",
                                        "Wrong file size: out/fw_045755_000102.img 4194305 bytes"),
                                   Said("校验结束：已校验6台，完好5台，失败1台：未通过",
                                        "Check finished: 6 devices checked, 5 exact, 1 failed: "
                                        "failed")}));
}

TEST_F(VerifyTest, FilesOfAnotherLotFailTheFolderEvenQuietlyUnlessAllowed) {
  WriteFileBytes(Out("fw_045755_00010a.img"), DeviceImage(0x04575500010a, 2));
  WriteFileBytes(Out("fw_045755_009999.img"), {1});
  WriteFileBytes(Out(".fw_045755_00010c.img.part"), {1});
  const std::string notInBatch = Said("批次外文件: ", "File not in the batch: ");
  const std::vector<std::string> listed = {notInBatch + "out/fw_045755_00010a.img",
                                           notInBatch + "out/fw_045755_009999.img"};
  const std::string summary =
      Said("校验结束：已校验6台，完好6台，失败0台，批次外文件2个",
           "Check finished: 6 devices checked, 6 exact, 0 failed, 2 files not in the batch");
  // The verdict says what the exit status does, and what lets the files stand.
  const std::string passed = Said("：通过", ": passed");
  const std::string failed =
      Said("：未通过（目录中有批次外文件；给出 --allow-other-files 可让其通过）",
           ": failed (the folder holds files not in the batch; "
           "--allow-other-files lets them pass)");
  for (const bool allowed : {false, true}) {
    SCOPED_TRACE(allowed ? "allowed" : "not allowed");
    std::vector<std::string> args = With(kFields, {"--quiet", "--report=report.csv"});
    if (allowed)
      args.push_back("--allow-other-files");
    const ChildResult result = Verify(args);
    std::vector<std::string> expected = listed;
    expected.push_back(summary + (allowed ? passed : failed));
    EXPECT_EQ(Lines(result.out), expected);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(result.exitCode, allowed ? 0 : 3);
    const std::string report = Text(ReadFileBytes(m_dir / "report.csv"));
    EXPECT_NE(report.find("fw_045755_00010a.img,extra,\nfw_045755_009999.img,extra,\n"),
              std::string::npos)
        << report;
  }
}

// Other files may stand beside the batch; a second copy of one of its
// addresses may not, whatever its name: a link to a device's file, a copy.
TEST_F(VerifyTest, AnotherCopyOfABatchAddressFailsEvenWhereOtherFilesAreAllowed) {
  ASSERT_EQ(::symlink(kNames[0], Out("fw_045755_000199.img").c_str()), 0);
  WriteFileBytes(Out("notes.bin"), ReadFileBytes(Out(kNames[3])));
  WriteFileBytes(Out("readme.txt"), {'x'});
  const ChildResult result = Verify(With(kFields, {"--quiet", "--allow-other-files"}));
  EXPECT_EQ(Lines(result.out),
            (std::vector<std::string>{
                Said("MAC地址重复: out/fw_045755_000199.img 04:57:55:00:00:fe",
                     "Duplicate MAC address: out/fw_045755_000199.img holds 04:57:55:00:00:fe"),
                Said("MAC地址重复: out/notes.bin 04:57:55:00:01:04",
                     "Duplicate MAC address: out/notes.bin holds 04:57:55:00:01:04"),
                Said("校验结束：已校验6台，完好6台，失败0台，MAC地址重复文件2个：未通过",
                     "Check finished: 6 devices checked, 6 exact, 0 failed, 2 files with a "
                     "duplicate MAC address: failed")}));
  EXPECT_EQ(result.exitCode, 3);
}

TEST_F(VerifyTest, AnotherImageIsNamedOnceWhenMostDevicesDifferAtOneOffset) {
  for (std::size_t device = 0; device < 4; ++device)
    FlipByte(kNames[device], 0x100000, 0xff);
  const ChildResult result = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(result.exitCode, 3);
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_EQ(lines.size(), 6u) << result.out;
  const std::string wrongImage =
      Said("大多数设备在同一偏移0x100000处不符：给出的镜像可能不是写入时用的镜像",
           "Most devices differ at the same offset 0x100000: the image given may not be the one "
           "written");
  EXPECT_EQ(lines[4], wrongImage);
  EXPECT_EQ(lines[5], Said("校验结束：已校验6台，完好2台，失败4台：未通过",
                           "Check finished: 6 devices checked, 2 exact, 4 failed: failed"));

  // Two of six at one offset: damage, not another image.
  ASSERT_EQ(Run(With(kFields, {"--quiet"})).exitCode, 0);
  FlipByte(kNames[0], 0x100000, 0xff);
  FlipByte(kNames[1], 0x100000, 0xff);
  const ChildResult few = Verify(With(kFields, {"--quiet"}));
  EXPECT_EQ(few.out.find(Said("大多数设备", "Most devices")), std::string::npos) << few.out;
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
  const ChildResult result = Verify(With(kFields, {"--report=missing/report.csv"}));
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.err, Said("missing/report.csv：所在目录不存在\n"
                             "报告文件无法写入！missing/report.csv\n",
                             "missing/report.csv: its folder does not exist\n"
                             "Cannot write the report: missing/report.csv\n"));
  EXPECT_EQ(result.out, "");
}

// A report the disk will not take fails the verification and leaves the
// older report as it was; a file already under the report's temporary
// name is not verify's to remove, whether the report is written or not.
TEST_F(VerifyTest, AReportNotWrittenKeepsTheOlderOneAndNoOtherFileGoes) {
  WriteFileBytes(m_dir / "report.csv", {'o', 'l', 'd'});
  WriteFileBytes(m_dir / ".report.csv.part", {'m', 'i', 'n', 'e'});
  ChildOptions limited;
  limited.fileSizeLimit = 64;
  const ChildResult cut = Verify(With(kFields, {"--report=report.csv", "--quiet"}), limited);
  EXPECT_EQ(cut.exitCode, 3);
  EXPECT_EQ(cut.err,
            Said("报告文件写入出错！report.csv\n", "Writing the report failed: report.csv\n"));
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "report.csv")), "old");
  EXPECT_EQ(Text(ReadFileBytes(m_dir / ".report.csv.part")), "mine");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{".report.csv.part", "image.img", "lot.csv",
                                                    "out", "report.csv"}));

  const ChildResult whole = Verify(With(kFields, {"--report=report.csv", "--quiet"}));
  EXPECT_EQ(whole.exitCode, 0) << whole.err;
  EXPECT_EQ(Text(ReadFileBytes(m_dir / "report.csv")).rfind("file,result,detail\n", 0), 0u);
  EXPECT_EQ(Text(ReadFileBytes(m_dir / ".report.csv.part")), "mine");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{".report.csv.part", "image.img", "lot.csv",
                                                    "out", "report.csv"}));
}

TEST_F(VerifyTest, ARefusedRequestChecksNothingAndCreatesNothing) {
  struct Case {
    std::vector<std::string> args;
    std::string error;
  };
  const std::string manifestSize = std::to_string(ReadFileBytes(m_dir / "lot.csv").size());
  const std::string noImage =
      Said("none.img：无法打开（不存在、不是文件或无权读取）\n读取文件错误！",
           "none.img: cannot be opened (it does not exist, is not a file or may not be read)\n"
           "Cannot read the image.");
  const Case cases[] = {
      {{"--image=image.img", "--start-mac=05:00:00:00:00:00"},
       Said("05:00:00:00:00:00：第一个字节须为单播、全球管理地址\n起始MAC地址输入错误！",
            "05:00:00:00:00:00: the first byte must make a unicast, globally administered "
            "address\nInvalid start MAC address.")},
      {{"--image=image.img", "--count=0"},
       Said("0：须为1到65535\n生成数量输入错误！",
            "0: give a number from 1 to 65535\nInvalid device count.")},
      {{"--image=image.img", "--macs-per-device=5"},
       Said("5：须为1到4\n每设备分配MAC数量错误！",
            "5: give a number from 1 to 4\nInvalid number of MAC addresses per device.")},
      {{"--image=lot.csv"},
       manifestSize + Said("字节：须为4194304、8388608或16777216\n文件大小错误！" + manifestSize,
                           " bytes: an image must be 4194304, 8388608 or 16777216 bytes "
                           "long\nWrong image size: " +
                               manifestSize + " bytes.")},
      {{"--image=none.img"}, noImage},
      {{"--image=image.img", "--out=elsewhere"},
       Said("elsewhere：不存在（校验不创建目录）\n输出目录错误！",
            "elsewhere: does not exist (a check creates no folder)\n"
            "The output folder cannot be used.")},
      {{"--image=image.img", "--out=elsewhere", "--manifest=lot.csv"},
       Said("elsewhere：不存在或不是目录（校验不创建目录）\n输出目录错误！",
            "elsewhere: does not exist or is not a folder (a check creates no folder)\n"
            "The output folder cannot be used.")},
      {{"--image=none.img", "--manifest=lot.csv"}, noImage},
      {{"--image=image.img", "--manifest=none.csv"},
       Said("读取清单文件错误！none.csv", "Cannot read the manifest: none.csv")},
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
  const std::string header = "file,mac1,mac2\n";
  const std::string row2 = std::string(kNames[0]) + ",04:57:55:00:00:fe,04:57:55:00:00:ff\n";
  const struct {
    std::string text;
    std::string error;
  } cases[] = {
      {"file,mac1\n" + row2,
       Said("清单文件第2行错误！应有2个字段，实有3个",
            "Error on line 2 of the manifest: the line needs 2 fields and has 3")},
      {"name,mac1,mac2\n" + row2,
       Said("清单文件第1行错误！表头应为file,mac1,…,macN（N为1到4）：name,mac1,mac2",
            "Error on line 1 of the manifest: the header must be file,mac1,...,macN (N from 1 to "
            "4): name,mac1,mac2")},
      {header + row2 + "fw_045755_000100.img,04:57:55:00:01:00\n",
       Said("清单文件第3行错误！应有3个字段，实有2个",
            "Error on line 3 of the manifest: the line needs 3 fields and has 2")},
      {header + "fw_045755_0000fe.img,04:57:55:00:00:fe,04:57:55:00:00:fg\n",
       Said("清单文件第2行错误！MAC地址格式错误：04:57:55:00:00:fg",
            "Error on line 2 of the manifest: malformed MAC address: 04:57:55:00:00:fg")},
      {header + "fw_045755_0000ff.img,04:57:55:00:00:fe,04:57:55:00:00:ff\n",
       Said("清单文件第2行错误！文件名与首个MAC地址不符："
            "fw_045755_0000ff.img应为fw_045755_0000fe.img",
            "Error on line 2 of the manifest: file name does not match the first MAC address: "
            "fw_045755_0000ff.img where fw_045755_0000fe.img belongs")},
      {header + row2 + row2,
       Said("清单文件第3行错误！MAC地址04:57:55:00:00:fe与第2行重复",
            "Error on line 3 of the manifest: MAC address 04:57:55:00:00:fe is also on line 2")},
      {header + "fw_045755_0000fe.img,04:57:55:00:00:fe,04:57:55:00:01:00\n",
       Said("清单文件第2行错误！MAC地址不连续：04:57:55:00:01:00应为04:57:55:00:00:ff",
            "Error on line 2 of the manifest: MAC addresses not consecutive: 04:57:55:00:01:00 "
            "where 04:57:55:00:00:ff belongs")},
      {header + row2.substr(0, row2.size() - 1),
       Said("清单文件第2行错误！行尾没有换行符，文件不完整",
            "Error on line 2 of the manifest: the line has no line break at its end; the file is "
            "incomplete")},
      {header, Said("清单文件中没有设备！bad.csv", "The manifest lists no devices: bad.csv")},
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
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{}, Said("缺少必需的选项 --image", "the required option --image is missing")},
      {{"--image=image.img", "--manifest=lot.csv", "--count=6"},
       Said("--manifest 不能与 --start-mac、--count、--macs-per-device 同时使用",
            "--manifest cannot be given with --start-mac, --count or --macs-per-device")},
      {{"--image=image.img", "--lenient=yes"},
       Said("选项 --lenient 不带值（--lenient=yes）",
            "option --lenient takes no value (--lenient=yes)")},
      {{"--image=image.img", "--quite"},
       Said("无法识别的参数：--quite", "unknown argument: --quite")},
  };
  const std::string pointer = Said("；用 quillmark-cli verify --help 查看用法",
                                   "; see quillmark-cli verify --help for the usage");
  for (const auto& c : cases) {
    const ChildResult result = Verify(c.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.err, "quillmark-cli: " + c.error + pointer + "\n");
  }
  const ChildResult help = Verify({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  EXPECT_EQ(help.out.rfind(Said("用法: ", "Usage: ") + "quillmark-cli verify --image PATH", 0), 0u)
      << help.out;
}

// A write's command line is checked as it stands: the write's own options
// are taken and left aside. A value that reading bends is refused, as the
// write refuses it, unless --lenient asks for the dialog's reading.
TEST_F(VerifyTest, AWritesCommandLineIsCheckedAsItStands) {
  const std::string passed = Said("校验结束：已校验6台，完好6台，失败0台：通过\n",
                                  "Check finished: 6 devices checked, 6 exact, 0 failed: passed\n");
  const ChildResult checked = Verify(
      With(kFields, {"--quiet", "--no-ledger", "--durable", "--dry-run", "--ledger", "x.sqlite3",
                     "--station=s", "--pool=p", "--lot=L", "--rerun=3", "--reason=r"}));
  EXPECT_EQ(checked.exitCode, 0) << checked.err;
  EXPECT_EQ(checked.err, "");
  EXPECT_EQ(checked.out, passed);
  EXPECT_FALSE(std::filesystem::exists(m_dir / "x.sqlite3"));

  const std::vector<std::string> bent = {"--image=image.img", "--start-mac=04:57:55:00:00:fe",
                                         "--count=6x", "--macs-per-device=2"};
  const ChildResult refused = Verify(bent);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_EQ(refused.out, "");
  EXPECT_EQ(
      refused.err,
      "quillmark-cli: " +
          Said("--count 6x：按 6 台处理（请写出确切的值，或给出 --lenient 按对话框的规则读取）",
               "--count 6x: taken as 6 devices (write the exact value, or give --lenient "
               "to read it as the dialog does)") +
          "\n");
  const ChildResult lenient = Verify(With(bent, {"--lenient", "--quiet"}));
  EXPECT_EQ(lenient.exitCode, 0) << lenient.err;
  EXPECT_EQ(lenient.err, Said("--count 6x：按 6 台处理\n", "--count 6x: taken as 6 devices\n"));
  EXPECT_EQ(lenient.out, passed);
}

TEST_F(VerifyTest, OnATerminalTheProgressSharesOneLine) {
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
  EXPECT_EQ(visible[0], Said("文件内容不符: out/fw_045755_000104.img 偏移0x5",
                             "File content differs: out/fw_045755_000104.img at offset 0x5"));
  EXPECT_EQ(visible[1].rfind(
                Said("校验MAC固件: ", "Checking device image: ") + "04:57:55:00:01:08  6/6", 0),
            0u)
      << visible[1];
  EXPECT_EQ(visible[2], Said("校验结束：已校验6台，完好5台，失败1台：未通过",
                             "Check finished: 6 devices checked, 5 exact, 1 failed: failed"));
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
  WriteFileBytes(m_dir / "image.img", MakeValidImage(GetParam().imageSize));
  const std::vector<std::string> fields = {
      "--image=image.img", "--start-mac=04:57:55:ff:ff:fe", "--count=4",
      "--macs-per-device=" + std::to_string(GetParam().macsPerDevice)};
  ASSERT_EQ(Run(With(fields, {"--manifest=lot.csv", "--quiet"})).exitCode, 0);
  const std::string summary =
      Said("校验结束：已校验4台，完好4台，失败0台：通过\n",
           "Check finished: 4 devices checked, 4 exact, 0 failed: passed\n");
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
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0777), 0);
  ChildOptions options;
  options.workingDirectory = m_root;
  ChildProcess tool(
      CliCommand({"verify", "--image=image.img", "--count=65535", "--report=report.csv"}), options);
  ASSERT_TRUE(tool.started());
  ASSERT_EQ(tool.ReadLine(kChildTimeout),
            Said("校验MAC固件: ", "Checking device image: ") + "04:57:55:00:00:00");
  tool.Signal(GetParam());
  const ChildResult result = tool.Finish(kChildTimeout);
  EXPECT_EQ(result.exitCode, 128 + GetParam());
  const std::vector<std::string> lines = Lines(result.out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back().rfind(Said("校验已停止：已校验", "Check stopped: "), 0), 0u)
      << lines.back();
  EXPECT_NE(lines.back().find(
                Said("台（共65535台），完好0台，失败", " of 65535 devices checked, 0 exact, ")),
            std::string::npos)
      << lines.back();
  // Every device has its row, those not reached as unchecked.
  EXPECT_EQ(Lines(Text(ReadFileBytes(m_dir / "report.csv"))).size(), 65536u);
}

INSTANTIATE_TEST_SUITE_P(Signals, VerifyStopTest, testing::Values(SIGINT, SIGTERM),
                         [](const testing::TestParamInfo<int>& info) {
                           return info.param == SIGINT ? "Interrupt" : "Terminate";
                         });

}  // namespace
}  // namespace quillmark::test
