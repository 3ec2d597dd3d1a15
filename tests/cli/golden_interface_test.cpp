// The interface scripts rely on, byte for byte: the help page, the usage
// errors and their exit statuses. The English run compares the help with
// its English page beside the Chinese one.
#include <fstream>
#include <sstream>

#include "cli_fixture.h"
#include "write_command.h"

namespace quillmark::test {
namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

using GoldenInterfaceTest = CliTest;

TEST_F(GoldenInterfaceTest, HelpPageIsTheKnownText) {
  const std::string expected = ReadText(EnglishTestMode() ? QUILLMARK_CLI_TEST_DATA "/help.en.txt"
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

struct UsageCase {
  std::vector<std::string> args;
  std::string error;            // after "quillmark-cli: ", before "；用 … --help 查看用法"
  std::string help = "--help";  // the help the line points to
};

TEST_F(GoldenInterfaceTest, UsageErrorsAreTheKnownLines) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const UsageCase cases[] = {
      {{}, "缺少必需的选项 --image"},
      {{"--count=3"}, "缺少必需的选项 --image"},
      {{"--help", "--bogus"}, "无法识别的参数：--bogus"},
      {{"--image=image.img", "extra"}, "无法识别的参数：extra"},
      {{"--image=image.img", "--", "--count=3"}, "无法识别的参数：-- --count=3"},
      {{"--image=image.img", "-c", "1"}, "无法识别的参数：-c 1"},
      {{"--image=image.img",
        "\xff"
        "x"},
       "无法识别的参数：\xEF\xBF\xBDx"},
      {{"--image=image.img", "--count"}, "选项 --count 缺少值"},
      {{"--image=image.img", "--image=image.img"}, "选项 --image 只能给出一次"},
      {{"--image", "image.img", "--count=2", "--count", "3"}, "选项 --count 只能给出一次"},
      {{"verify", "--image=image.img", "--out"},
       "选项 --out 缺少值",
       "quillmark-cli verify --help"},
      {{"labels", "--pdf=a.pdf", "--pdf", "b.pdf"}, "选项 --pdf 只能给出一次"},
  };
  for (const UsageCase& usage : cases) {
    SCOPED_TRACE(testing::PrintToString(usage.args));
    const ChildResult result = Run(usage.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quillmark-cli: " + usage.error + "；用 " + usage.help + " 查看用法\n");
  }
}

// A value option followed by the next option has lost its value: taking
// the option as the value wrote a manifest named "--dry-run" and a real
// batch where a plan was asked for. A value on a flag ran the real batch.
TEST_F(GoldenInterfaceTest, AMissingValueOrAValueOnAFlagTouchesNothing) {
  QUILLMARK_SKIP_IN_ENGLISH();
  const UsageCase cases[] = {
      {{"--image", "image.img", "--count=2", "--manifest", "--dry-run"},
       "选项 --manifest 缺少值（以“-”开头的值请写成 --manifest=VALUE 的形式）"},
      {{"--image=image.img", "--count", "-2"},
       "选项 --count 缺少值（以“-”开头的值请写成 --count=VALUE 的形式）"},
      {{"--image", "-", "--count=2"},
       "选项 --image 缺少值（以“-”开头的值请写成 --image=VALUE 的形式）"},
      {{"--image=image.img", "--count=2", "--dry-run=false"},
       "选项 --dry-run 不带值（--dry-run=false）"},
      {{"--image=image.img", "--count=2", "--dry-run=no"}, "选项 --dry-run 不带值（--dry-run=no）"},
      {{"--image=image.img", "--count=2", "--quiet=1"}, "选项 --quiet 不带值（--quiet=1）"},
      {{"--image=image.img", "--help=yes"}, "选项 --help 不带值（--help=yes）"},
  };
  for (const UsageCase& usage : cases) {
    SCOPED_TRACE(testing::PrintToString(usage.args));
    const ChildResult result = Run(usage.args);
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.out, "");
    EXPECT_EQ(result.err, "quillmark-cli: " + usage.error + "；用 " + usage.help + " 查看用法\n");
  }
  EXPECT_EQ(m_dir.List(), std::vector<std::string>{"image.img"});
}

}  // namespace
}  // namespace quillmark::test
