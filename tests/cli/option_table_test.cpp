#include "option_table.h"

#include <gtest/gtest.h>

#include "english_mode.h"

namespace quillmark::cli {
namespace {

struct Targets {
  std::string name = "default";
  std::string path;
  std::string title = "default";
  bool force = false;
};

OptionTable Table(Targets& t) {
  return {
      {.name = "--name", .valueName = "TEXT", .help = "the name", .value = &t.name},
      {.name = "--title",
       .valueName = "TEXT",
       .help = "the title",
       .value = &t.title,
       .emptyMeansNone = true},
      {.name = "--path",
       .valueName = "FILE",
       .help = "first line\nsecond line",
       .value = &t.path,
       .required = true},
      {.name = "--force", .help = "go ahead", .flag = &t.force},
  };
}

TEST(OptionTableTest, ValuesReachTheirTargetsAsGivenInEitherForm) {
  Targets t;
  const ParsedOptions parsed = ParseOptions(Table(t), {"--name=a=b", "--path", " x ", "--force"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  EXPECT_EQ(t.name, "a=b");
  EXPECT_EQ(t.path, " x ");
  EXPECT_TRUE(t.force);
  EXPECT_TRUE(parsed.Given("--path"));
  EXPECT_FALSE(parsed.Given("--other"));
}

TEST(OptionTableTest, AnEmptyValueIsKeptOnlyWhereTheRowGivesItAMeaning) {
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--title="}, std::vector<std::string>{"--title", ""}}) {
    Targets t;
    const ParsedOptions parsed = ParseOptions(Table(t), args);
    ASSERT_TRUE(parsed.ok) << parsed.error;
    EXPECT_EQ(t.title, "");
    EXPECT_TRUE(parsed.Given("--title"));
    EXPECT_EQ(t.name, "default");
    EXPECT_FALSE(parsed.Given("--name"));
  }
}

// An unset variable in a station script ("--profile $PROFILE") must not
// quietly become the default.
TEST(OptionTableTest, AnEmptyValueIsOneUsageLineNamingTheOption) {
  const struct {
    std::vector<std::string> args;
    const char* option;
  } cases[] = {
      {{"--path="}, "--path"},
      {{"--path", ""}, "--path"},
      {{"--name=", "--path=x"}, "--name"},
      {{"--path=x", "--name", ""}, "--name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.args));
    Targets t;
    const ParsedOptions parsed = ParseOptions(Table(t), c.args);
    EXPECT_FALSE(parsed.ok);
    EXPECT_EQ(parsed.error,
              test::Said(std::string("选项 ") + c.option + " 的值不能为空；用 --help 查看用法",
                         std::string("option ") + c.option +
                             " needs a value that is not empty; see --help for the usage"));
    EXPECT_EQ(t.name, "default");
  }
}

TEST(OptionTableTest, UnknownArgumentsAreOneUsageLine) {
  Targets t;
  const ParsedOptions parsed = ParseOptions(Table(t), {"--path=x", "--bogus", "extra"});
  EXPECT_FALSE(parsed.ok);
  EXPECT_EQ(parsed.error, test::Said("无法识别的参数：--bogus extra；用 --help 查看用法",
                                     "unknown arguments: --bogus extra; see --help for the usage"));
}

TEST(OptionTableTest, HelpRowsAndSynopsisComeFromTheTable) {
  Targets t;
  EXPECT_EQ(HelpRows(Table(t)),
            "  --name TEXT             the name\n"
            "  --title TEXT            the title\n"
            "  --path FILE             first line\n"
            "                          second line\n"
            "  --force                 go ahead\n");
  EXPECT_EQ(Synopsis("tool", Table(t)),
            test::Said("用法: tool [--name TEXT] [--title TEXT] --path FILE [--force]\n",
                       "Usage: tool [--name TEXT] [--title TEXT] --path FILE [--force]\n"));
}

TEST(OptionTableTest, SynopsisWrapsAtEightyColumnsUnderTheOptions) {
  std::vector<std::string> names;
  for (int i = 0; i < 8; ++i)
    names.push_back("--option-number-" + std::to_string(i));
  bool flag = false;
  OptionTable table;
  for (const std::string& name : names)
    table.push_back({.name = name, .help = "", .flag = &flag});
  // The later lines start under the first option, whatever the lead's width.
  EXPECT_EQ(Synopsis("tool", table),
            test::Said("用法: tool [--option-number-0] [--option-number-1] [--option-number-2]\n"
                       "            [--option-number-3] [--option-number-4] [--option-number-5]\n"
                       "            [--option-number-6] [--option-number-7]\n",
                       "Usage: tool [--option-number-0] [--option-number-1] [--option-number-2]\n"
                       "             [--option-number-3] [--option-number-4] [--option-number-5]\n"
                       "             [--option-number-6] [--option-number-7]\n"));
}

}  // namespace
}  // namespace quillmark::cli
