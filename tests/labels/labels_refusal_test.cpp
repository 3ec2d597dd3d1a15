// What quillmark-cli labels refuses, and that a refusal leaves nothing
// behind: a bad manifest (the manifest reader's own verdict), a code too
// dense for its label, an output that cannot be written, a bad command line.
#include <unistd.h>

#include "batch_manifest.h"
#include "english_mode.h"
#include "labels_fixture.h"
#include "page_scan.h"
#include "printable_text.h"

namespace quillmark::test {
namespace {

const std::string kGood =
    "file,mac1,mac2\n"
    "fw_045755_001000.img,04:57:55:00:10:00,04:57:55:00:10:01\n"
    "fw_045755_001002.img,04:57:55:00:10:02,04:57:55:00:10:03\n";

struct BadManifest {
  std::string name;
  std::string text;
};

void PrintTo(const BadManifest& c, std::ostream* os) {
  *os << c.name;
}

class BadManifestTest : public LabelsTest, public testing::WithParamInterface<BadManifest> {};

TEST_P(BadManifestTest, IsRefusedWithTheReadersLineAndNoFile) {
  WriteText(m_dir / "lot.csv", GetParam().text);
  const ChildResult run = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf"});
  EXPECT_EQ(run.exitCode, 1);
  const ManifestReading reading = ParseManifest(GetParam().text);
  ASSERT_FALSE(reading.manifest);
  // As every line the command prints: a byte order mark shown, not hidden.
  EXPECT_EQ(run.err, EscapeControlCharacters(reading.error) + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
}

const BadManifest kBadManifests[] = {
    {"HeaderWrong", "file,mac1,mac3\nfw_045755_001000.img,04:57:55:00:10:00,04:57:55:00:10:01\n"},
    {"FieldMissing", "file,mac1,mac2\nfw_045755_001000.img,04:57:55:00:10:00\n"},
    {"UpperCase", "file,mac1\nfw_045755_00100a.img,04:57:55:00:10:0A\n"},
    {"NotConsecutive",
     "file,mac1,mac2\nfw_045755_001000.img,04:57:55:00:10:00,04:57:55:00:10:02\n"},
    {"GroupAddress", "file,mac1\nfw_015755_001000.img,01:57:55:00:10:00\n"},
    {"FileNameOfAnotherDevice", "file,mac1\nfw_045755_001001.img,04:57:55:00:10:00\n"},
    {"AddressTwice", kGood + "fw_045755_001001.img,04:57:55:00:10:01,04:57:55:00:10:02\n"},
    {"CutShort", kGood.substr(0, kGood.size() - 1)},
    {"CrLfCutShort", "file,mac1\r\nfw_045755_001000.img,04:57:55:00:10:00\r"},
    {"ByteOrderMarkTwice", "\xEF\xBB\xBF\xEF\xBB\xBF" + kGood},
    {"ByteOrderMarkOnly", "\xEF\xBB\xBF"},
    {"Empty", ""},
};

INSTANTIATE_TEST_SUITE_P(Defects, BadManifestTest, testing::ValuesIn(kBadManifests),
                         [](const testing::TestParamInfo<BadManifest>& info) {
                           return info.param.name;
                         });

TEST_F(LabelsTest, MissingManifestAndManifestOfNoDeviceAreRefused) {
  const ChildResult missing = Labels({"--manifest", "none.csv", "--pdf", "lot.pdf"});
  EXPECT_EQ(missing.exitCode, 1);
  EXPECT_EQ(missing.err,
            Said("读取清单文件错误！none.csv\n", "Cannot read the manifest: none.csv\n"));
  WriteText(m_dir / "lot.csv", "file,mac1\n");
  const ChildResult none = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf"});
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_EQ(none.err,
            Said("清单中没有设备，没有可打印的标签！lot.csv\n",
                 "The manifest lists no devices, so there are no labels to print: lot.csv\n"));
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
}

// fc:ab:cd:ef:ab:cd has no digit pair Code 128 could pack: twelve
// characters of 11 modules, 187 with start, check, stop and quiet zones,
// 46.75 mm at 0.25 mm a module, where a 50 mm roll label less its edges
// has 46 mm.
TEST_F(LabelsTest, CodeTooDenseForItsLabelIsRefusedAndTheOlderSheetStays) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 1) +
                                   ManifestText("fc:ab:cd:ef:ab:cd", 1, 1).substr(10));
  WriteText(m_dir / "lot.pdf", "%PDF-1.5 an older sheet");
  const ChildResult run = Labels(
      {"--manifest", "lot.csv", "--pdf", "lot.pdf", "--layout", "roll-50x25", "--code", "code128"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(
      run.err,
      Said("条码太密，roll-50x25 标签放不下：fw_fcabcd_efabcd.img 的 Code 128 "
           "在模块 0.25 毫米时需要 46.75 毫米宽，标签上只有 46.00 毫米！\n",
           "The code is too dense for a roll-50x25 label: the Code 128 of fw_fcabcd_efabcd.img "
           "needs 46.75 mm at a module of 0.25 mm, and the label has 46.00 mm.\n"));
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "lot.pdf"}));
  const std::vector<std::uint8_t> older = ReadFileBytes(m_dir / "lot.pdf");
  EXPECT_EQ(std::string(older.begin(), older.end()), "%PDF-1.5 an older sheet");

  // The same device fits an A4 label, and a sheet replaces the older file.
  const ChildResult a4 = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--code", "code128"});
  EXPECT_EQ(a4.exitCode, 0) << a4.err;
  EXPECT_EQ(PdfPageSizes(m_dir / "lot.pdf").size(), 1u);
}

TEST_F(LabelsTest, OutputThatCannotBeWrittenIsRefusedAndNothingStays) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 100, 2));
  ASSERT_EQ(::mkdir((m_dir / "folder.pdf").c_str(), 0755), 0);
  const std::vector<std::string> before = m_dir.List();

  const ChildResult noParent = Labels({"--manifest", "lot.csv", "--pdf", "gone/lot.pdf"});
  EXPECT_EQ(noParent.exitCode, 1);
  EXPECT_EQ(noParent.err, Said("标签文件无法写入！gone/lot.pdf\n",
                               "Cannot write the label file: gone/lot.pdf\n"));

  const ChildResult folder = Labels({"--manifest", "lot.csv", "--pdf", "folder.pdf"});
  EXPECT_EQ(folder.exitCode, 1);
  EXPECT_EQ(folder.err, Said("标签文件不能是目录！folder.pdf\n",
                             "The label file must not be a directory: folder.pdf\n"));
  EXPECT_EQ(m_dir.List("folder.pdf"), std::vector<std::string>{});

  // The disk takes the first 32 KiB and no more: the write fails midway.
  ChildOptions limited;
  limited.fileSizeLimit = 32 * 1024;
  const ChildResult cut = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf"}, limited);
  EXPECT_EQ(cut.exitCode, 1);
  EXPECT_EQ(cut.err, Said("标签文件无法写入！lot.pdf\n", "Cannot write the label file: lot.pdf\n"));
  EXPECT_EQ(m_dir.List(), before);
}

// A file under the label file's temporary name, there before the run, is
// not the run's to remove: the sheet takes another temporary name.
TEST_F(LabelsTest, AFileUnderTheTemporaryNameStays) {
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 3, 2));
  const struct {
    std::vector<std::string> args;
    std::string file;
  } cases[] = {
      {{"--pdf", "lot.pdf"}, "lot.pdf"},
      {{"--zpl", "lot.zpl", "--layout", "roll-50x25"}, "lot.zpl"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.file);
    const std::string planted = "." + c.file + ".part";
    WriteText(m_dir / planted, "mine");
    std::vector<std::string> args = {"--manifest", "lot.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    const std::vector<std::uint8_t> kept = ReadFileBytes(m_dir / planted);
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "mine");
    EXPECT_GT(ReadFileBytes(m_dir / c.file).size(), 100u);
    ASSERT_EQ(::unlink((m_dir / planted).c_str()), 0);
    ASSERT_EQ(::unlink((m_dir / c.file).c_str()), 0);
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
  }
}

TEST_F(LabelsTest, UsageErrorsExitTwoAndWriteNothing) {
  WriteText(m_dir / "lot.csv", kGood);
  const std::string missing =
      Said("缺少必需的选项 --manifest 或 --pdf、--zpl、--printer；用 --help 查看用法",
           "a required option is missing: --manifest, or one of --pdf, --zpl and --printer; see "
           "--help for the usage");
  const std::string title = Said("标题须为不含控制字符的UTF-8文本",
                                 "the title must be UTF-8 text without control characters");
  const auto empty = [](const std::string& option) {
    return Said("选项 " + option + " 的值不能为空；用 --help 查看用法",
                "option " + option + " needs a value that is not empty; see --help for the usage");
  };
  const auto position = [](const char* cells, const char* given) {
    return Said("起始标签位须为1到", "the first label position must be 1 to ") + cells +
           Said("：", ": ") + given;
  };
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--pdf", "lot.pdf"}, missing},
      {{"--manifest", "lot.csv"}, missing},
      {{"--layout", "a5-2x4"},
       Said("未知的标签纸：a5-2x4（可用 a4-3x8、letter-3x10、roll-50x25、"
            "roll-WxH（卷标，宽20–110、高10–110毫米））",
            "unknown label stock: a5-2x4 (known: a4-3x8, letter-3x10, roll-50x25, roll-WxH (a "
            "roll, 20-110 mm wide, 10-110 mm high))")},
      {{"--code", "pdf417"},
       Said("未知的条码：pdf417（可用 qr、code128、datamatrix）",
            "unknown code: pdf417 (known: qr, code128, datamatrix)")},
      {{"--first-cell", "0"}, position("24", "0")},
      {{"--first-cell", "25"}, position("24", "25")},
      {{"--first-cell", "31", "--layout", "letter-3x10"}, position("30", "31")},
      {{"--first-cell", "2", "--layout", "roll-50x25"}, position("1", "2")},
      {{"--first-cell", "+3"}, position("24", "+3")},
      {{"--first-cell="}, empty("--first-cell")},
      {{"--title", "lot\n7"}, title},
      {{"--title", "lot \xff"}, title},
      {{"--title", "lot \u202e7"}, title},
      {{"--manifest=", "--pdf", "lot.pdf"}, empty("--manifest")},
      {{"--pdf", ""}, empty("--pdf")},
      {{"--zpl="}, empty("--zpl")},
      {{"--printer="}, empty("--printer")},
      {{"--dpi="}, empty("--dpi")},
      {{"--layout", ""}, empty("--layout")},
      {{"--code="}, empty("--code")},
      {{"--bogus"},
       Said("无法识别的参数：--bogus；用 --help 查看用法",
            "unknown argument: --bogus; see --help for the usage")},
  };
  for (const auto& [extra, error] : cases) {
    SCOPED_TRACE(testing::PrintToString(extra));
    std::vector<std::string> args = {"--manifest", "lot.csv", "--pdf", "lot.pdf"};
    if (extra.front() == "--pdf" || extra.front().rfind("--manifest", 0) == 0)
      args = extra;
    else
      args.insert(args.end(), extra.begin(), extra.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "quillmark-cli: " + error + "\n");
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
  }
}

TEST_F(LabelsTest, ChineseTitleIsSetInAnEmbeddedFontOnEveryLabel) {
  const std::string title = "产品A 批次0412（样品）";
  WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 5, 1));
  const ChildResult run = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--title", title});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, Said("标签已写入：5个标签，1页：lot.pdf\n",
                          "Labels written: 5 labels, 1 page: lot.pdf\n"));
  const std::vector<PdfFont> fonts = PdfFonts(m_dir / "lot.pdf");
  ASSERT_FALSE(fonts.empty());
  for (const PdfFont& font : fonts)
    EXPECT_TRUE(font.embedded) << font.name;
  const std::string text = PdfText(m_dir / "lot.pdf");
  std::size_t titles = 0;
  for (std::size_t at = text.find(title); at != std::string::npos; at = text.find(title, at + 1))
    ++titles;
  EXPECT_EQ(titles, 5u) << text;
}

TEST_F(LabelsTest, TitleNoFontCanShowOrNoLabelCanHoldIsRefused) {
  WriteText(m_dir / "lot.csv", kGood);
  // U+10FFFD, a private-use character no font is made with.
  const ChildResult glyph =
      Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--title", "lot \xF4\x8F\xBF\xBD"});
  EXPECT_EQ(glyph.exitCode, 1);
  EXPECT_EQ(glyph.err, Said("标签字体 WenQuanYi Micro Hei 不含这些字符：\xF4\x8F\xBF\xBD！\n",
                            "The label font WenQuanYi Micro Hei has no glyph for these "
                            "characters: \xF4\x8F\xBF\xBD.\n"));
  const ChildResult wide = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--layout",
                                   "roll-50x25", "--title", std::string(60, 'W')});
  EXPECT_EQ(wide.exitCode, 1);
  EXPECT_EQ(wide.err, Said("标题太长，roll-50x25 标签放不下！\n",
                           "The title is too long: it does not fit on a roll-50x25 label.\n"));
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
}

// A font that is not installed is refused before a byte is written, with
// one line naming it, whether --font or the station names it; a sans-serif
// or CJK font fontconfig would put in its place is never taken instead.
TEST_F(LabelsTest, AFontNotInstalledIsRefusedWithItsName) {
  WriteText(m_dir / "lot.csv", kGood);
  WriteText(m_dir / "station.toml", "label_font = \"Quillmark Absent Sans\"\n");
  ChildOptions station;
  station.environment.push_back("QUILLMARK_SYSTEM_CONFIG=" + m_dir / "station.toml");
  struct Case {
    std::vector<std::string> args;
    ChildOptions options;
    std::string font;
  };
  const Case cases[] = {
      {{"--pdf", "lot.pdf", "--font", "Quillmark Absent Sans"}, {}, "Quillmark Absent Sans"},
      {{"--zpl", "lot.zpl", "--layout", "roll-50x25", "--font", "sans-serif"}, {}, "sans-serif"},
      {{"--pdf", "lot.pdf"}, station, "Quillmark Absent Sans"},
      {{"--zpl", "lot.zpl", "--layout", "roll-50x25"}, station, "Quillmark Absent Sans"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + c.font);
    std::vector<std::string> args = {"--manifest", "lot.csv"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ChildResult run = Labels(args, c.options);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err,
              Said("标签字体未安装！", "The label font is not installed: ") + c.font + "\n");
    EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "station.toml"}));
  }
  const ChildResult empty = Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--font", ""});
  EXPECT_EQ(empty.exitCode, 2);
  EXPECT_EQ(empty.err, "quillmark-cli: " +
                           Said("选项 --font 的值不能为空；用 --help 查看用法",
                                "option --font needs a value that is not empty; see --help for "
                                "the usage") +
                           "\n");
}

// Each refusal blames what would make the labels fit: a shorter title,
// fewer addresses, or (where neither would) a larger label.
TEST_F(LabelsTest, ALabelTooSmallSaysWhatDoesNotFit) {
  const std::string fileLine = Said("文件名行以最小可读字号也放不下，",
                                    "The file name line does not fit even at the smallest "
                                    "legible size: ");
  const std::string address =
      Said("MAC地址以最小可读字号也放不下，",
           "A MAC address does not fit even at the smallest legible size: ");
  const std::string many = Said("每个设备的MAC地址太多，", "Too many MAC addresses per device: ");
  const struct {
    int macsPerDevice;
    std::vector<std::string> extra;
    std::string error;  // before "it does not fit on a … label."
    const char* layout;
  } cases[] = {
      {1, {}, fileLine, "roll-20x10"}, {1, {"--title", "WO"}, fileLine, "roll-20x10"},
      {1, {}, address, "roll-25x25"},  {4, {}, address, "roll-25x25"},
      {4, {}, many, "roll-50x15"},     {4, {"--code", "code128"}, many, "roll-40x20"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.layout) + " " + testing::PrintToString(c.extra));
    WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 1, c.macsPerDevice));
    std::vector<std::string> args = {"--manifest", "lot.csv",  "--zpl",
                                     "lot.zpl",    "--layout", c.layout};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err,
              c.error + Said(std::string(c.layout) + " 标签放不下！\n",
                             "it does not fit on a " + std::string(c.layout) + " label.\n"));
    EXPECT_EQ(m_dir.List(), std::vector<std::string>{"lot.csv"});
  }
}

}  // namespace
}  // namespace quillmark::test
