// The labels' title: --title when given, else the lot (--lot, else the
// station configuration's), else none; the lot judged as a write judges it.
#include <sys/stat.h>

#include "english_mode.h"
#include "labels_fixture.h"
#include "page_scan.h"

namespace quillmark::test {
namespace {

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    ++n;
  return n;
}

// Labels with a station configuration of the test's own, whose user file
// may hold a lot.
class LabelTitleTest : public LabelsTest {
 protected:
  void SetUp() override {
    for (const std::string& folder : {m_dir / "xdg", m_dir / "xdg/quillmark"}) {
      ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
      ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);  // whatever the umask
    }
    WriteText(m_dir / "lot.csv", ManifestText("04:57:55:00:10:00", 2, 2));
  }
  void Configure(const std::string& text) {
    WriteText(ConfigFile(), text);
    ::chmod(ConfigFile().c_str(), 0644);
  }
  std::string ConfigFile() const { return m_dir / "xdg/quillmark/quillmark.toml"; }
  ChildResult Labels(const std::vector<std::string>& args) {
    ChildOptions options;
    options.environment = {"XDG_CONFIG_HOME=" + m_dir / "xdg",
                           "QUILLMARK_SYSTEM_CONFIG=" + m_dir / "no-system.toml"};
    return LabelsTest::Labels(args, options);
  }
};

TEST_F(LabelTitleTest, TheTitleIsTheOptionElseTheLotElseNone) {
  const struct {
    bool configuredLot;  // the user's file says lot = "WO-CONF"
    std::vector<std::string> args;
    std::string title;  // "" for none
  } cases[] = {
      {false, {}, ""},
      {true, {}, "WO-CONF"},
      {false, {"--lot", "WO-OPT"}, "WO-OPT"},
      {true, {"--lot", "WO-OPT"}, "WO-OPT"},
      {true, {"--title", "AP-200"}, "AP-200"},
      {true, {"--lot", "WO-OPT", "--title", "AP-200"}, "AP-200"},
      // Given empty, each sets the one below it aside.
      {true, {"--title="}, ""},
      {true, {"--lot="}, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args) +
                 (c.configuredLot ? " with a configured lot" : ""));
    Configure(c.configuredLot ? "lot = \"WO-CONF\"\n" : "# no lot\n");
    std::vector<std::string> args = {"--manifest", "lot.csv", "--pdf", "lot.pdf"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ChildResult run = Labels(args);
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::string text = PdfText(m_dir / "lot.pdf");
    EXPECT_EQ(Count(text, "fw_045755_001000.img"), 1u) << text;
    for (const std::string candidate : {"WO-CONF", "WO-OPT", "AP-200"})
      EXPECT_EQ(Count(text, candidate), candidate == c.title ? 2u : 0u) << candidate << "\n"
                                                                        << text;
  }
}

// A roll's ZPL titled by the configured lot is the one --title makes.
TEST_F(LabelTitleTest, TheConfiguredLotTitlesZplAsTheOptionWould) {
  Configure("lot = \"WO-0412\"\n");
  const std::vector<std::string> roll = {"--manifest", "lot.csv", "--layout", "roll-50x25"};
  const auto run = [&](const std::string& zpl, std::vector<std::string> extra) {
    std::vector<std::string> args = roll;
    args.insert(args.end(), {"--zpl", zpl});
    args.insert(args.end(), extra.begin(), extra.end());
    const ChildResult result = Labels(args);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::uint8_t> bytes = ReadFileBytes(m_dir / zpl);
    return std::string(bytes.begin(), bytes.end());
  };
  const std::string configured = run("configured.zpl", {});
  EXPECT_EQ(Count(configured, "~DG"), 1u) << "the title stored once";
  EXPECT_EQ(Count(configured, "^XG"), 2u) << "and recalled on each label";
  EXPECT_EQ(configured, run("titled.zpl", {"--title", "WO-0412"}));
  const std::string untitled = run("untitled.zpl", {"--title="});
  EXPECT_EQ(Count(untitled, "~DG") + Count(untitled, "^XG"), 0u);
  EXPECT_TRUE(untitled.starts_with("^XA\n")) << untitled;
}

TEST_F(LabelTitleTest, ALotTheWriteWouldRefuseOrAConfigurationInErrorIsAUsageError) {
  const std::string control =
      Said("批号不能含有控制字符：", "the lot must not hold control characters: ");
  std::string longest;
  for (int i = 0; i < 201; ++i)
    longest += "批";
  const struct {
    std::vector<std::string> args;
    std::string error;  // after "quillmark-cli: "
  } lots[] = {
      {{"--lot", "WO\n7"}, control + "WO\\x0a7"},
      {{"--lot",
        "WO\xc2\x9b"
        "7"},
       control + "WO\\xc2\\x9b7"},
      {{"--lot", "WO\u202e7"}, control + "WO\\xe2\\x80\\xae7"},
      {{"--lot", "WO \xff"},
       Said("批号不是有效的UTF-8文本：", "the lot is not valid UTF-8: ") + "WO \\xff"},
      {{"--lot", "\u00a0 "}, Said("批号不能只有空白", "the lot must not be only white space")},
      {{"--lot", longest},
       Said("批号不能超过200个字符", "the lot must not be longer than 200 characters")},
      // Refused even where --title would have set it aside.
      {{"--lot", "WO\t7", "--title", "AP-200"}, control + "WO\\x097"},
  };
  for (const auto& c : lots) {
    SCOPED_TRACE(c.error);
    std::vector<std::string> args = {"--manifest", "lot.csv", "--pdf", "lot.pdf"};
    args.insert(args.end(), c.args.begin(), c.args.end());
    const ChildResult run = Labels(args);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_EQ(run.err, "quillmark-cli: " + c.error + "\n");
  }
  Configure("lot = 7\n");
  const ChildResult broken =
      Labels({"--manifest", "lot.csv", "--pdf", "lot.pdf", "--title", "AP-200"});
  EXPECT_EQ(broken.exitCode, 2);
  EXPECT_EQ(broken.err,
            "quillmark-cli: " +
                Said("配置文件错误！" + ConfigFile() + " 第1行：lot 应是非空字符串，不含控制字符",
                     "Cannot use the station configuration: " + ConfigFile() +
                         " line 1: lot must be a non-empty string without control characters") +
                "\n");
  EXPECT_EQ(m_dir.List(), (std::vector<std::string>{"lot.csv", "xdg"}));
}

}  // namespace
}  // namespace quillmark::test
