// What the tool does with its command line before any device: the
// dialog's rejections, usage errors, and values passed on as given.
#include <sys/stat.h>
#include <unistd.h>

#include "cli_fixture.h"
#include "quillmark_version.h"

namespace quillmark::test {
namespace {

using RequestTest = CliTest;

// The dialog's message box texts, which several refusals share.
const std::string kBadStart = Said("起始MAC地址输入错误！", "Invalid start MAC address.");
const std::string kBadCount = Said("生成数量输入错误！", "Invalid device count.");
const std::string kBadPerDevice =
    Said("每设备分配MAC数量错误！", "Invalid number of MAC addresses per device.");
const std::string kUnreadable = Said("读取文件错误！", "Cannot read the image.");
const std::string kBadOutput = Said("输出目录错误！", "The output folder cannot be used.");
const std::string kCannotOpen =
    Said("：无法打开（不存在、不是文件或无权读取）",
         ": cannot be opened (it does not exist, is not a file or may not be read)");
const char* const kImageIsTemporary =
    "The input image must not have the name of one of this batch's temporary files: ";

// Images that fail acceptance, written next to the valid one.
void WriteRejectedImages(const ScratchDir& dir) {
  WriteFileBytes(dir / "long.img", std::vector<std::uint8_t>(k4MiB + 1));
  std::vector<std::uint8_t> unparsable = MakeValidImage(k4MiB);
  unparsable[0x1C060] = 0x01;
  WriteFileBytes(dir / "unparsable.img", unparsable);
  std::vector<std::uint8_t> old = MakeValidImage(k4MiB);
  SetLinkStamp(old, "link", 0x59F54AFF);
  WriteFileBytes(dir / "old.img", old);
  // Not regular files, where a manifest must not go (the rename would
  // replace them); made here, never a real device node of the machine.
  ASSERT_EQ(::mkfifo((dir / "fifo.csv").c_str(), 0600), 0);
  ASSERT_EQ(::symlink("old.img", (dir / "link.csv").c_str()), 0);
}

struct RejectionCase {
  const char* name;
  std::vector<std::string> args;
  std::string message;
  std::string detail = {};  // the line before it: the value, the rule, the path
};

void PrintTo(const RejectionCase& rejection, std::ostream* os) {
  *os << rejection.name;
}

class RejectionTest : public CliTest, public testing::WithParamInterface<RejectionCase> {};

// Each rejection is the dialog's message box text as the last line on
// standard error, after a line that says the value, the rule and the path
// where the message does not; nothing on standard output, exit 1, and no
// device file.
TEST_P(RejectionTest, PrintsTheDialogsMessageAndExitsOne) {
  WriteRejectedImages(m_dir);
  const ChildResult result = Run(GetParam().args);
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.out, "");
  const std::string detail = GetParam().detail;
  EXPECT_EQ(result.err, (detail.empty() ? "" : detail + "\n") + GetParam().message + "\n");
  EXPECT_EQ(m_dir.List("out"), std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Texts, RejectionTest,
    testing::Values(
        RejectionCase{
            "FiveFields",
            {"--image=image.img", "--start-mac=04:57:55:00:00"},
            kBadStart,
            Said("04:57:55:00:00：须为6个十六进制字节，以冒号分隔（如 04:57:55:00:00:00）",
                 "04:57:55:00:00: give 6 hexadecimal bytes separated by colons (such as "
                 "04:57:55:00:00:00)")},
        RejectionCase{"GroupAddressBeforeABadCount",
                      {"--image=image.img", "--start-mac=01:00:00:00:00:00", "--count=0"},
                      kBadStart,
                      Said("01:00:00:00:00:00：第一个字节须为单播、全球管理地址",
                           "01:00:00:00:00:00: the first byte must make a unicast, globally "
                           "administered address")},
        RejectionCase{"CountTooLarge",
                      {"--image=image.img", "--count=65536"},
                      kBadCount,
                      Said("65536：须为1到65535", "65536: give a number from 1 to 65535")},
        RejectionCase{"FiveMacsPerDevice",
                      {"--image=image.img", "--macs-per-device=5"},
                      kBadPerDevice,
                      Said("5：须为1到4", "5: give a number from 1 to 4")},
        RejectionCase{"MissingImage", {"--image=none.img"}, kUnreadable, "none.img" + kCannotOpen},
        RejectionCase{"DirectoryAsImage", {"--image=."}, kUnreadable, "." + kCannotOpen},
        RejectionCase{"WrongSize",
                      {"--image=long.img"},
                      Said("文件大小错误！4194305", "Wrong image size: 4194305 bytes."),
                      Said("4194305字节：须为4194304、8388608或16777216",
                           "4194305 bytes: an image must be 4194304, 8388608 or 16777216 bytes "
                           "long")},
        RejectionCase{"SignatureByte",
                      {"--image=unparsable.img"},
                      Said("无法解析的文件！", "The image cannot be parsed."),
                      Said("偏移0x1C060处为0x01：镜像签名须为0x00",
                           "0x01 at offset 0x1C060: the image's signature needs 0x00 there")},
        RejectionCase{"BuildTooOld",
                      {"--image=old.img"},
                      Said("解析文件出错！", "The image is refused."),
                      Said("构建时间0x59F54AFF：带 link 标记的镜像须不早于0x59F54B00",
                           "build time 0x59F54AFF: an image with the link mark must be built no "
                           "earlier than 0x59F54B00")},
        RejectionCase{
            "OutputParentMissing",
            {"--image=image.img", "--out=none/out"},
            kBadOutput,
            Said("none/out：上级目录不存在", "none/out: its parent folder does not exist")},
        RejectionCase{
            "ManifestFolderMissing",
            {"--image=image.img", "--manifest=none/list.csv"},
            Said("清单文件无法写入！none/list.csv", "Cannot write the manifest: none/list.csv"),
            Said("none/list.csv：所在目录不存在", "none/list.csv: its folder does not exist")},
        RejectionCase{"ManifestNamesNoFile",
                      {"--image=image.img", "--manifest=reports/.."},
                      Said("清单文件无法写入！reports/..", "Cannot write the manifest: reports/.."),
                      Said("reports/..：须以文件名结尾", "reports/..: must end in a file name")},
        RejectionCase{"ManifestIsTheImage",
                      {"--image=image.img", "--manifest=./image.img"},
                      Said("清单文件不能是输入映像！./image.img",
                           "The manifest file must not be the input image: ./image.img")},
        RejectionCase{"ManifestIsADeviceFile",
                      {"--image=image.img", "--count=5", "--manifest=out/fw_045755_000003.img"},
                      Said("清单文件不能使用本批设备文件的名称！out/fw_045755_000003.img",
                           "The manifest file must not take the name of a device file of this "
                           "batch: out/fw_045755_000003.img")},
        RejectionCase{
            "ManifestIsATemporaryFile",
            {"--image=image.img", "--count=5", "--manifest=out/.fw_045755_000001.img.part"},
            Said("清单文件不能使用本批设备文件的名称！out/.fw_045755_000001.img.part",
                 "The manifest file must not take the name of a device file of this batch: "
                 "out/.fw_045755_000001.img.part")},
        RejectionCase{"ManifestIsAFifo",
                      {"--image=image.img", "--manifest=fifo.csv"},
                      Said("清单文件已存在且不是普通文件！fifo.csv",
                           "The manifest file exists and is not a regular file: fifo.csv")},
        RejectionCase{"ManifestIsALink",
                      {"--image=image.img", "--manifest=link.csv"},
                      Said("清单文件已存在且不是普通文件！link.csv",
                           "The manifest file exists and is not a regular file: link.csv")},
        RejectionCase{
            "ManifestIsADirectory",
            {"--image=image.img", "--manifest=out"},
            Said("清单文件不能是目录！out", "The manifest file must not be a directory: out")},
        RejectionCase{"DryRun",
                      {"--image=image.img", "--dry-run", "--count=abc"},
                      kBadCount,
                      Said("abc：须为1到65535", "abc: give a number from 1 to 65535")}),
    [](const testing::TestParamInfo<RejectionCase>& info) { return info.param.name; });

struct ValueCase {
  const char* name;
  std::vector<std::string> args;  // besides --image=image.img
  std::string error;              // empty: the run succeeds
  std::vector<std::string> files;
  std::string outDir = "out";
  std::string warning = {};  // where the reading rules bent the value
};

void PrintTo(const ValueCase& value, std::ostream* os) {
  *os << value.name;
}

class ValueTest : public CliTest, public testing::WithParamInterface<ValueCase> {};

// The tool parses none of the request's values: each reaches the core as
// given, in either option form, and the core judges it as the dialog's. A
// value that reading bends is refused, the reading said, unless --lenient
// asks for the dialog's reading.
TEST_P(ValueTest, ReachesTheCoreUnchanged) {
  const ValueCase& value = GetParam();
  std::vector<std::string> args{"--image=image.img"};
  args.insert(args.end(), value.args.begin(), value.args.end());
  if (!value.warning.empty()) {
    const ChildResult refused = Run(args);
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(refused.out, "");
    EXPECT_EQ(refused.err, "quillmark-cli: " + Lines(value.warning).front() +
                               Said("（请写出确切的值，或给出 --lenient 按对话框的规则读取）",
                                    " (write the exact value, or give --lenient to read it as "
                                    "the dialog does)") +
                               "\n");
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});
    args.push_back("--lenient");
  }
  const ChildResult result = Run(args);
  if (value.error.empty()) {
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(result.err, value.warning);
  } else {
    EXPECT_EQ(result.exitCode, 1);
    // The refusal is the last line, after the line on the value.
    const std::vector<std::string> lines = Lines(result.err);
    ASSERT_EQ(lines.size(), 2u) << result.err;
    EXPECT_EQ(lines.back(), value.error);
  }
  EXPECT_EQ(m_dir.List(value.outDir), value.files);
}

const std::vector<std::string> kTwoDevices{"fw_045755_000000.img", "fw_045755_000001.img"};

INSTANTIATE_TEST_SUITE_P(
    Forms, ValueTest,
    testing::Values(
        ValueCase{"TrailingLetters",
                  {"--count=2abc"},
                  "",
                  kTwoDevices,
                  "out",
                  Said("--count 2abc：按 2 台处理\n", "--count 2abc: taken as 2 devices\n")},
        ValueCase{"LeadingSpace",
                  {"--count= 2"},
                  "",
                  kTwoDevices,
                  "out",
                  Said("--count  2：按 2 台处理\n", "--count  2: taken as 2 devices\n")},
        ValueCase{"LeadingSpaceSeparate",
                  {"--count", " 2"},
                  "",
                  kTwoDevices,
                  "out",
                  Said("--count  2：按 2 台处理\n", "--count  2: taken as 2 devices\n")},
        ValueCase{
            "BentMacAndCount",
            {"--start-mac=04:57:55:00:10:0g", "--count=2O"},
            "",
            {"fw_045755_001000.img", "fw_045755_001001.img"},
            "out",
            Said(
                "--start-mac 04:57:55:00:10:0g：按 04:57:55:00:10:00 处理\n--count 2O：按 2 "
                "台处理\n",
                "--start-mac 04:57:55:00:10:0g: taken as 04:57:55:00:10:00\n--count 2O: taken as 2 "
                "devices\n")},
        ValueCase{"ThousandsSeparator",
                  {"--count=1,000"},
                  "",
                  {"fw_045755_000000.img"},
                  "out",
                  Said("--count 1,000：按 1 台处理\n", "--count 1,000: taken as 1 device\n")},
        ValueCase{"Exponent",
                  {"--count=1e3"},
                  "",
                  {"fw_045755_000000.img"},
                  "out",
                  Said("--count 1e3：按 1 台处理\n", "--count 1e3: taken as 1 device\n")},
        ValueCase{"FractionCount",
                  {"--count=2.5"},
                  "",
                  kTwoDevices,
                  "out",
                  Said("--count 2.5：按 2 台处理\n", "--count 2.5: taken as 2 devices\n")},
        ValueCase{"SeventhOctet",
                  {"--start-mac=04:57:55:00:10:00:07", "--count=1"},
                  "",
                  {"fw_045755_001000.img"},
                  "out",
                  Said("--start-mac 04:57:55:00:10:00:07：按 04:57:55:00:10:00 处理\n",
                       "--start-mac 04:57:55:00:10:00:07: taken as 04:57:55:00:10:00\n")},
        ValueCase{"NegativeCount", {"--count=-2"}, kBadCount, {}},
        ValueCase{"MinusInMac", {"--start-mac=-4:57:55:00:00:00"}, kBadStart, {}},
        ValueCase{"TabBeforeMac",
                  {"--start-mac=\t04:57:55:00:00:10", "--count=1"},
                  "",
                  {"fw_045755_000010.img"},
                  "out",
                  Said("--start-mac \t04:57:55:00:00:10：按 04:57:55:00:00:10 处理\n",
                       "--start-mac \t04:57:55:00:00:10: taken as 04:57:55:00:00:10\n")},
        ValueCase{"FractionPerDevice",
                  {"--macs-per-device=1.9", "--count=1"},
                  "",
                  {"fw_045755_000000.img"},
                  "out",
                  Said("--macs-per-device 1.9：按每台 1 个地址处理\n",
                       "--macs-per-device 1.9: taken as 1 address per device\n")},
        ValueCase{"NegativePerDevice", {"--macs-per-device=-1"}, kBadPerDevice, {}},
        ValueCase{"OutputStartingWithMinus",
                  {"--out=-x", "--count=1"},
                  "",
                  {"fw_045755_000000.img"},
                  "-x"},
        ValueCase{
            "EqualsInOutput", {"--out=a=b", "--count=1"}, "", {"fw_045755_000000.img"}, "a=b"}),
    [](const testing::TestParamInfo<ValueCase>& info) { return info.param.name; });

// An unset variable in a station script ("--profile $PROFILE") would
// otherwise write every device with the input's own address, and verify
// would pass it. Only the write's --lot gives the empty value a meaning.
TEST_F(RequestTest, AnEmptyValueIsAUsageErrorNamingTheOption) {
  const std::vector<std::string> write = {"--image=image.img", "--count=1"};
  const struct {
    std::vector<std::string> lead;
    const char* option;
  } cases[] = {
      {{}, "--image"},
      {write, "--out"},
      {write, "--start-mac"},
      {{"--image=image.img"}, "--count"},
      {write, "--macs-per-device"},
      {write, "--profile"},
      {write, "--manifest"},
      {write, "--ledger"},
      {write, "--station"},
      {write, "--pool"},
      {write, "--rerun"},
      {write, "--reason"},
      {{"verify", "--image=image.img", "--count=1"}, "--profile"},
      {{"verify", "--image=image.img", "--count=1"}, "--manifest"},
      {{"verify", "--image=image.img", "--count=1"}, "--report"},
      {{"verify", "--image=image.img", "--count=1"}, "--out"},
  };
  for (const auto& c : cases) {
    for (const bool attached : {true, false}) {
      std::vector<std::string> args = c.lead;
      if (attached)
        args.push_back(std::string(c.option) + "=");
      else
        args.insert(args.end(), {c.option, ""});
      SCOPED_TRACE(testing::PrintToString(args));
      const ChildResult result = Run(args);
      const std::string help = args.front() == "verify" ? "quillmark-cli verify --help" : "--help";
      EXPECT_EQ(result.exitCode, 2);
      EXPECT_EQ(result.out, "");
      EXPECT_EQ(
          result.err,
          "quillmark-cli: " +
              Said(std::string("选项 ") + c.option + " 的值不能为空；用 " + help + " 查看用法\n",
                   std::string("option ") + c.option + " needs a value that is not empty; see " +
                       help + " for the usage\n"));
    }
  }
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});
}

TEST_F(RequestTest, UsageErrorsExitTwoBeforeAnythingIsTouched) {
  const std::vector<std::vector<std::string>> commandLines = {
      {},
      {"--count=3"},
      {"--image=image.img", "--bogus"},
      {"--image=image.img", "extra"},
      {"--image=image.img", "--", "--count=3"},
      {"--image=image.img", "--count"},
      {"--image=image.img", "--count=1", "--count=2"},
  };
  for (const std::vector<std::string>& args : commandLines) {
    SCOPED_TRACE(testing::PrintToString(args));
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(Lines(result.err).size(), 1u) << result.err;
  }
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});
}

TEST_F(RequestTest, VersionAndHelp) {
  const ChildResult version = Run({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out, "quillmark-cli " QUILLMARK_VERSION "\n");

  const ChildResult help = Run({"--help"});
  EXPECT_EQ(help.exitCode, 0);
  for (const char* option : {"--image", "--out", "--start-mac", "--count", "--macs-per-device",
                             "--manifest", "--dry-run", "--quiet", "--durable", "--version"}) {
    EXPECT_NE(help.out.find(option), std::string::npos) << option;
  }
  EXPECT_NE(help.out.find(Said("输出目录", "output folder")), std::string::npos);
}

// An image standing under a temporary name the run removes (a device's
// temporary file of the batch, the manifest's) would be gone without a
// trace: the request is refused and the image stays. Under a device's own
// name it is replaced by that device's image, as a rerun in place expects.
TEST_F(RequestTest, ImageUnderATemporaryNameIsRefusedAndKept) {
  struct Case {
    std::string imagePath;
    std::vector<std::string> more;
    std::string message;
  };
  const std::vector<Case> cases{
      {"out/.fw_045755_000002.img.part",
       {},
       Said("输入映像不能使用本批临时文件的名称！", kImageIsTemporary) +
           "out/.fw_045755_000002.img.part"},
      {"out/.fw_045755_000000.img.part",
       {"--dry-run"},
       Said("输入映像不能使用本批临时文件的名称！", kImageIsTemporary) +
           "out/.fw_045755_000000.img.part"},
      {".list.csv.part",
       {"--manifest=list.csv"},
       Said("清单文件的临时文件不能是输入映像！./.list.csv.part",
            "The temporary file of the manifest file must not be the input image: "
            "./.list.csv.part")},
  };
  ASSERT_EQ(::mkdir((m_dir / "out").c_str(), 0755), 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.imagePath);
    WriteFileBytes(m_dir / c.imagePath, m_image);
    std::vector<std::string> args{"--image=" + c.imagePath, "--count=3"};
    args.insert(args.end(), c.more.begin(), c.more.end());
    const ChildResult result = Run(args);
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, c.message + "\n");
    EXPECT_TRUE(ReadFileBytes(m_dir / c.imagePath) == m_image);
    ASSERT_EQ(::unlink((m_dir / c.imagePath).c_str()), 0);
    EXPECT_EQ(m_dir.List("out"), std::vector<std::string>{});
  }
  WriteFileBytes(m_dir / "out/fw_045755_000001.img", m_image);
  EXPECT_EQ(Run({"--image=out/fw_045755_000001.img", "--count=3", "--quiet"}).exitCode, 0);
  EXPECT_TRUE(ReadFileBytes(m_dir / "out/fw_045755_000001.img") == DeviceImage(0x045755000001, 1));
  EXPECT_TRUE(ReadFileBytes(m_dir / "out/fw_045755_000002.img") == DeviceImage(0x045755000002, 1));
}

}  // namespace
}  // namespace quillmark::test
