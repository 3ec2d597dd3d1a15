// The interface scripts rely on, byte for byte: the help page, the usage
// errors and their exit statuses. The English run compares the help with
// its English page beside the Chinese one.

#include "cli_fixture.h"
#include "fixture_image.h"
#include "write_command.h"

namespace quillmark::test {
namespace {

using GoldenInterfaceTest = CliTest;

TEST_F(GoldenInterfaceTest, HelpPageIsTheKnownText) {
  const std::string expected =
      ReadFileText(EnglishTestMode() ? QUILLMARK_CLI_TEST_DATA "/help.en.txt"
                                     : QUILLMARK_CLI_TEST_DATA "/help.txt");
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(cli::WriteHelpText(), expected);
  for (const auto& args : {std::vector<std::string>{"--help"},
                           {"--help", "--version"},
                           {"--version", "--help"},
                           {"--image=image.img", "--help"}}) {
    const ChildResult help = Run(args);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_EQ(help.out, expected);
    EXPECT_EQ(help.err, "");
  }
}

// Columns on a terminal: a CJK or full-width character takes two.
std::size_t DisplayColumns(const std::string& line) {
  std::size_t columns = 0;
  for (std::size_t i = 0; i < line.size();) {
    const auto lead = static_cast<unsigned char>(line[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t point = length == 1 ? lead : lead & (0x7F >> length);
    for (std::size_t k = 1; k < length && i + k < line.size(); ++k)
      point = point << 6 | (static_cast<unsigned char>(line[i + k]) & 0x3F);
    const bool wide =
        (point >= 0x1100 && point <= 0x115F) || (point >= 0x2E80 && point <= 0xA4CF) ||
        (point >= 0xAC00 && point <= 0xD7A3) || (point >= 0xF900 && point <= 0xFAFF) ||
        (point >= 0xFE30 && point <= 0xFE4F) || (point >= 0xFF00 && point <= 0xFF60) ||
        (point >= 0xFFE0 && point <= 0xFFE6);
    columns += wide ? 2 : 1;
    i += length;
  }
  return columns;
}

TEST(DisplayColumnsTest, CountsAWideCharacterTwice) {
  EXPECT_EQ(DisplayColumns("--out DIR"), 9u);
  EXPECT_EQ(DisplayColumns("输出目录"), 8u);
  EXPECT_EQ(DisplayColumns("（可用 a4、20–110）"), 19u);
}

// Every help page fits an 80-column terminal in the run's language.
TEST_F(GoldenInterfaceTest, NoHelpLineIsWiderThanEightyColumns) {
  for (const auto& args : {std::vector<std::string>{"--help"},
                           {"verify", "--help"},
                           {"labels", "--help"},
                           {"ledger", "--help"},
                           {"ledger", "report", "--help"}}) {
    SCOPED_TRACE(testing::PrintToString(args));
    const ChildResult help = Run(args);
    ASSERT_EQ(help.exitCode, 0) << help.err;
    for (const std::string& line : Lines(help.out))
      EXPECT_LE(DisplayColumns(line), 80u) << line;
  }
}

struct UsageCase {
  std::vector<std::string> args;
  std::string error;            // after "quillmark-cli: ", before the pointer to the help
  std::string help = "--help";  // the help the line points to
};

TEST_F(GoldenInterfaceTest, UsageErrorsAreTheKnownLines) {
  const UsageCase cases[] = {
      {{}, Said("缺少必需的选项 --image", "the required option --image is missing")},
      {{"--count=3"}, Said("缺少必需的选项 --image", "the required option --image is missing")},
      {{"--help", "--bogus"}, Said("无法识别的参数：--bogus", "unknown argument: --bogus")},
      {{"--image=image.img", "extra"}, Said("无法识别的参数：extra", "unknown argument: extra")},
      {{"--image=image.img", "--", "--count=3"},
       Said("无法识别的参数：-- --count=3", "unknown arguments: -- --count=3")},
      {{"--image=image.img", "-c", "1"}, Said("无法识别的参数：-c 1", "unknown arguments: -c 1")},
      {{"--image=image.img",
        "\xff"
        "x"},
       Said("无法识别的参数：\xEF\xBF\xBDx", "unknown argument: \xEF\xBF\xBDx")},
      {{"--image=image.img", "--count"},
       Said("选项 --count 缺少值", "option --count needs a value")},
      {{"--image=image.img", "--image=image.img"},
       Said("选项 --image 只能给出一次", "option --image can be given only once")},
      {{"--image", "image.img", "--count=2", "--count", "3"},
       Said("选项 --count 只能给出一次", "option --count can be given only once")},
      {{"verify", "--image=image.img", "--out"},
       Said("选项 --out 缺少值", "option --out needs a value"),
       "quillmark-cli verify --help"},
      {{"labels", "--pdf=a.pdf", "--pdf", "b.pdf"},
       Said("选项 --pdf 只能给出一次", "option --pdf can be given only once")},
  };
  for (const UsageCase& usage : cases) {
    SCOPED_TRACE(testing::PrintToString(usage.args));
    const ChildResult result = Run(usage.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quillmark-cli: " + usage.error + Said("；用 ", "; see ") + usage.help +
                              Said(" 查看用法\n", " for the usage\n"));
  }
}

// A value option followed by the next option has lost its value: taking
// the option as the value wrote a manifest named "--dry-run" and a real
// batch where a plan was asked for. A value on a flag ran the real batch.
TEST_F(GoldenInterfaceTest, AMissingValueOrAValueOnAFlagTouchesNothing) {
  const UsageCase cases[] = {
      {{"--image", "image.img", "--count=2", "--manifest", "--dry-run"},
       Said("选项 --manifest 缺少值（以“-”开头的值请写成 --manifest=VALUE 的形式）",
            "option --manifest needs a value (write a value starting with \"-\" as "
            "--manifest=VALUE)")},
      {{"--image=image.img", "--count", "-2"},
       Said("选项 --count 缺少值（以“-”开头的值请写成 --count=VALUE 的形式）",
            "option --count needs a value (write a value starting with \"-\" as --count=VALUE)")},
      {{"--image", "-", "--count=2"},
       Said("选项 --image 缺少值（以“-”开头的值请写成 --image=VALUE 的形式）",
            "option --image needs a value (write a value starting with \"-\" as --image=VALUE)")},
      {{"--image=image.img", "--count=2", "--dry-run=false"},
       Said("选项 --dry-run 不带值（--dry-run=false）",
            "option --dry-run takes no value (--dry-run=false)")},
      {{"--image=image.img", "--count=2", "--dry-run=no"},
       Said("选项 --dry-run 不带值（--dry-run=no）",
            "option --dry-run takes no value (--dry-run=no)")},
      {{"--image=image.img", "--count=2", "--quiet=1"},
       Said("选项 --quiet 不带值（--quiet=1）", "option --quiet takes no value (--quiet=1)")},
      {{"--image=image.img", "--help=yes"},
       Said("选项 --help 不带值（--help=yes）", "option --help takes no value (--help=yes)")},
  };
  for (const UsageCase& usage : cases) {
    SCOPED_TRACE(testing::PrintToString(usage.args));
    const ChildResult result = Run(usage.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quillmark-cli: " + usage.error + Said("；用 ", "; see ") + usage.help +
                              Said(" 查看用法\n", " for the usage\n"));
  }
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});
}

}  // namespace
}  // namespace quillmark::test
