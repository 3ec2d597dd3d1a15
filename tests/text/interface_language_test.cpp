// Which language the environment asks for, as gettext reads a locale, and
// the texts' values set in each language's word order.
#include <gtest/gtest.h>

#include <cctype>
#include <map>

#include "interface_text.h"

namespace quillmark {
namespace {

struct LanguageCase {
  const char* name;
  std::map<std::string, std::string> environment;
  InterfaceLanguage expected;
};

void PrintTo(const LanguageCase& c, std::ostream* out) {
  *out << c.name;
}

class InterfaceLanguageTest : public testing::TestWithParam<LanguageCase> {};

TEST_P(InterfaceLanguageTest, TheEnvironmentChoosesAsGettextWould) {
  const LanguageCase& c = GetParam();
  const InterfaceLanguage chosen =
      InterfaceLanguageFrom([&](const char* name) -> std::optional<std::string> {
        const auto found = c.environment.find(name);
        if (found == c.environment.end())
          return std::nullopt;
        return found->second;
      });
  EXPECT_EQ(chosen, c.expected);
}

constexpr auto zh = InterfaceLanguage::Chinese;
constexpr auto en = InterfaceLanguage::English;

INSTANTIATE_TEST_SUITE_P(
    Locales, InterfaceLanguageTest,
    testing::Values(
        LanguageCase{"nothing set", {}, zh},
        LanguageCase{"LANG English", {{"LANG", "en_US.UTF-8"}}, en},
        LanguageCase{"LANG Chinese", {{"LANG", "zh_CN.UTF-8"}}, zh},
        LanguageCase{"LANG C", {{"LANG", "C"}}, zh},
        LanguageCase{"LANG POSIX", {{"LANG", "POSIX"}}, zh},
        LanguageCase{"LANG C.UTF-8", {{"LANG", "C.UTF-8"}}, zh},
        LanguageCase{"LANG French", {{"LANG", "fr_FR.UTF-8"}}, zh},
        LanguageCase{"modifier and codeset", {{"LANG", "en_GB.UTF-8@euro"}}, en},
        LanguageCase{"bare language", {{"LANG", "en"}}, en},
        LanguageCase{"a longer name is not en", {{"LANG", "eng_XX"}}, zh},
        LanguageCase{"Taiwan is Chinese", {{"LANG", "zh_TW.UTF-8"}}, zh},
        LanguageCase{"LANGUAGE over LANG", {{"LANGUAGE", "en"}, {"LANG", "zh_CN.UTF-8"}}, en},
        LanguageCase{"LANGUAGE Chinese over English LANG",
                     {{"LANGUAGE", "zh_CN"}, {"LANG", "en_US.UTF-8"}},
                     zh},
        LanguageCase{"LANGUAGE list passes over French",
                     {{"LANGUAGE", "fr:en"}, {"LANG", "zh_CN.UTF-8"}},
                     en},
        LanguageCase{"LANGUAGE list of languages we lack",
                     {{"LANGUAGE", "fr:de"}, {"LANG", "en_US.UTF-8"}},
                     zh},
        LanguageCase{"LANGUAGE with empty entries", {{"LANGUAGE", "::en:"}, {"LANG", "de_DE"}}, en},
        LanguageCase{
            "LANGUAGE passed over in the C locale", {{"LANGUAGE", "en"}, {"LANG", "C"}}, zh},
        LanguageCase{"LANGUAGE passed over with no locale", {{"LANGUAGE", "en"}}, zh},
        LanguageCase{"LANGUAGE read in C.UTF-8", {{"LANGUAGE", "en"}, {"LANG", "C.UTF-8"}}, en},
        LanguageCase{"empty LANGUAGE is unset", {{"LANGUAGE", ""}, {"LANG", "en_US.UTF-8"}}, en},
        LanguageCase{"LC_ALL over LANG", {{"LC_ALL", "en_US.UTF-8"}, {"LANG", "zh_CN.UTF-8"}}, en},
        LanguageCase{"LC_ALL C over English LANG", {{"LC_ALL", "C"}, {"LANG", "en_US.UTF-8"}}, zh},
        LanguageCase{
            "LC_MESSAGES over LANG", {{"LC_MESSAGES", "zh_CN.UTF-8"}, {"LANG", "en_US.UTF-8"}}, zh},
        LanguageCase{
            "LC_ALL over LC_MESSAGES", {{"LC_ALL", "en_US"}, {"LC_MESSAGES", "zh_CN"}}, en},
        LanguageCase{"empty LC_ALL is unset", {{"LC_ALL", ""}, {"LANG", "en_US.UTF-8"}}, en},
        LanguageCase{"all empty", {{"LC_ALL", ""}, {"LC_MESSAGES", ""}, {"LANG", ""}}, zh}),
    [](const testing::TestParamInfo<LanguageCase>& info) {
      std::string name = info.param.name;
      for (char& c : name) {
        if (!std::isalnum(static_cast<unsigned char>(c)))
          c = '_';
      }
      return name;
    });

// QUILLMARK_LANGUAGE over the configuration's choice over the locale;
// "auto" at either level hands the choice down.
TEST(InterfaceLanguageTest, TheVariableAndTheConfigurationComeBeforeTheLocale) {
  using Environment = std::map<std::string, std::string>;
  const auto from = [](const Environment& environment, LanguageChoice configured) {
    return InterfaceLanguageFrom(
        [&](const char* name) -> std::optional<std::string> {
          const auto found = environment.find(name);
          return found == environment.end() ? std::nullopt : std::optional(found->second);
        },
        configured);
  };
  const Environment chineseLocale{{"LANG", "zh_CN.UTF-8"}};
  const Environment cLocale{{"LANG", "C.UTF-8"}};
  EXPECT_EQ(from(cLocale, LanguageChoice::English), en);
  EXPECT_EQ(from({{"LANG", "en_US.UTF-8"}}, LanguageChoice::Chinese), zh);
  EXPECT_EQ(from({{"LANG", "en_US.UTF-8"}}, LanguageChoice::Auto), en);
  EXPECT_EQ(from({{"QUILLMARK_LANGUAGE", "en"}, {"LANG", "zh_CN.UTF-8"}}, LanguageChoice::Chinese),
            en);
  EXPECT_EQ(from({{"QUILLMARK_LANGUAGE", "zh"}, {"LC_ALL", "en_US"}}, LanguageChoice::English), zh);
  EXPECT_EQ(from({{"QUILLMARK_LANGUAGE", "auto"}, {"LANG", "C"}}, LanguageChoice::English), en);
  EXPECT_EQ(from({{"QUILLMARK_LANGUAGE", ""}, {"LANG", "C"}}, LanguageChoice::English), en);
  // Refused by the front ends; here it chooses nothing.
  EXPECT_EQ(from({{"QUILLMARK_LANGUAGE", "EN"}, {"LANG", "C"}}, LanguageChoice::Auto), zh);
  EXPECT_EQ(from(chineseLocale, LanguageChoice::Auto), zh);

  for (const char* valid : {"zh", "en", "auto", ""})
    EXPECT_EQ(
        InvalidLanguageVariable([&](const char*) { return std::optional<std::string>(valid); }),
        std::nullopt)
        << valid;
  for (const char* invalid : {"EN", "en_US", "english", " zh"})
    EXPECT_EQ(
        InvalidLanguageVariable([&](const char*) { return std::optional<std::string>(invalid); }),
        std::optional<std::string>(invalid));
}

TEST(InterfaceTextTest, ValuesGoWhereEachLanguagePutsThem) {
  constexpr InterfaceText text{"已校验%1台（共%2台）", "%1 of %2 devices checked"};
  EXPECT_EQ(text.FillIn(zh, {"3", "10"}), "已校验3台（共10台）");
  EXPECT_EQ(text.FillIn(en, {"3", "10"}), "3 of 10 devices checked");
  // A value is set as it is, never read for placeholders of its own.
  EXPECT_EQ(text.FillIn(en, {"%2", "x"}), "%2 of x devices checked");

  // A count's word follows the count in English; Chinese has no plural.
  constexpr InterfaceText counted{"已写入%1个文件，%2台",
                                  "%1 {1:file|files} written, %2 {2:device|devices}"};
  EXPECT_EQ(counted.FillIn(en, {"1", "2"}), "1 file written, 2 devices");
  EXPECT_EQ(counted.FillIn(en, {"0", "1"}), "0 files written, 1 device");
  EXPECT_EQ(counted.FillIn(en, {"11", "21"}), "11 files written, 21 devices");
  EXPECT_EQ(counted.FillIn(zh, {"1", "1"}), "已写入1个文件，1台");
}

TEST(InterfaceTextTest, EnglishHoldsNoChineseOrFullWidthCharacter) {
  EXPECT_TRUE(InterfaceText::HoldsChinese("中"));
  EXPECT_TRUE(InterfaceText::HoldsChinese("a！"));
  EXPECT_TRUE(InterfaceText::HoldsChinese("⺀"));                         // U+2E80
  EXPECT_FALSE(InterfaceText::HoldsChinese("plain \xE2\x80\xA6 ASCII"));  // an ellipsis
  EXPECT_FALSE(InterfaceText::HoldsChinese("\xEF\xBF\xBD"));              // U+FFFD
  EXPECT_TRUE(InterfaceText::HoldsChinese("\xEF\xBF\xAF"));               // U+FFEF
  EXPECT_FALSE(InterfaceText::HoldsChinese("\xE2\xBA\x7F"));              // not UTF-8
}

}  // namespace
}  // namespace quillmark
