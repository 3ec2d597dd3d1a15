#include "mac_address.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace quillmark {
namespace {

MacAddress Mac(std::int32_t a, std::int32_t b, std::int32_t c, std::int32_t d, std::int32_t e,
               std::int32_t f) {
  return MacAddress{{a, b, c, d, e, f}};
}

struct ParseCase {
  const char* text;
  std::optional<MacAddress> expected;
};

// Shown by ctest and gtest as the text itself, not as raw bytes.
void PrintTo(const ParseCase& c, std::ostream* out) {
  static const char kHex[] = "0123456789abcdef";
  *out << '"';
  for (const char* p = c.text; *p != '\0'; ++p) {
    const auto byte = static_cast<unsigned char>(*p);
    if (std::isprint(byte))
      *out << *p;
    else
      *out << "\\x" << kHex[byte >> 4] << kHex[byte & 15];
  }
  *out << '"';
}

// A test name from the text: its letters and digits, other characters as
// '_', after the case's index (two texts may differ only in punctuation).
std::string CaseName(const testing::TestParamInfo<ParseCase>& info) {
  std::string name = std::to_string(info.index) + "_";
  for (const char* p = info.param.text; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

class MacParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(MacParseTest, ReadsTheAddressOrRefusesIt) {
  const ParseCase& c = GetParam();
  EXPECT_EQ(MacAddress::Parse(c.text), c.expected) << "text: \"" << c.text << "\"";
}

const MacAddress kDefault = Mac(0x04, 0x57, 0x55, 0, 0, 0);

INSTANTIATE_TEST_SUITE_P(
    Accepted, MacParseTest,
    testing::Values(ParseCase{"04:57:55:00:00:00", kDefault}, ParseCase{"4:57:55:0:0:0", kDefault},
                    ParseCase{"04: 57: 55: 00: 00: 00", kDefault},
                    ParseCase{" \t04:\n57:\v55:\f00:\r00:00", kDefault},
                    ParseCase{"0x04:0x57:0X55:00:00:00", kDefault},
                    ParseCase{"+4:57:55:00:00:00", kDefault},
                    ParseCase{"+0x4:57:55:00:00:00", kDefault},
                    ParseCase{"04:57:55:00:00:00 and more", kDefault},
                    ParseCase{"04:57:55:00:00:001", kDefault},
                    ParseCase{"04:57:55:00:00:00:77", kDefault},
                    ParseCase{"04:57:55:00:00:0g", kDefault},
                    ParseCase{"00:1A:2B:3C:4D:5E", Mac(0x00, 0x1a, 0x2b, 0x3c, 0x4d, 0x5e)},
                    ParseCase{"ff:FF:fF:Ff:ff:ff", Mac(255, 255, 255, 255, 255, 255)}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Refused, MacParseTest,
    testing::Values(
        ParseCase{"", std::nullopt}, ParseCase{"   ", std::nullopt},
        ParseCase{"04:57:55:00:00", std::nullopt}, ParseCase{"04:57:55:00:00:", std::nullopt},
        ParseCase{"045755000000", std::nullopt}, ParseCase{"04-57-55-00-00-00", std::nullopt},
        ParseCase{"04 :57:55:00:00:00", std::nullopt},
        ParseCase{"004:57:55:00:00:00", std::nullopt}, ParseCase{"0x:57:55:00:00:00", std::nullopt},
        ParseCase{"-4:57:55:00:00:00", std::nullopt}, ParseCase{"04:57:-5:00:00:00", std::nullopt},
        ParseCase{"+04:57:55:00:00:00", std::nullopt},
        ParseCase{"04::57:55:00:00:00", std::nullopt}, ParseCase{"g4:57:55:00:00:00", std::nullopt},
        ParseCase{"++4:57:55:00:00:00", std::nullopt}),
    CaseName);

TEST(MacAddressTest, NulByteEndsTheTextLikeAnyOtherNonDigit) {
  EXPECT_EQ(MacAddress::Parse(std::string_view("04:57:55:00:00:0\0"
                                               "1",
                                               18)),
            Mac(0x04, 0x57, 0x55, 0, 0, 0));
  EXPECT_EQ(MacAddress::Parse(std::string_view("04\0:57:55:00:00:00", 18)), std::nullopt);
}

TEST(MacAddressTest, StartRulesRefuseGroupLocalAndReservedBlock) {
  struct Case {
    MacAddress address;
    bool valid;
  } cases[] = {
      {Mac(0x00, 0, 0, 0, 0, 0), true},          {Mac(0x04, 0x57, 0x55, 0, 0, 0), true},
      {Mac(0x08, 0, 0, 0, 0, 0), true},          {Mac(0xfc, 0, 0, 0, 0, 0), true},
      {Mac(0x01, 0, 0, 0, 0, 0), false},         {Mac(0x02, 0, 0, 0, 0, 0), false},
      {Mac(0x03, 0, 0, 0, 0, 0), false},         {Mac(0x0a, 0, 0, 0, 0, 0), false},
      {Mac(0xfe, 0, 0, 0, 0, 0), false},         {Mac(0x04, 0xff, 0xff, 0, 0, 0), false},
      {Mac(0x04, 0xff, 0x00, 0, 0, 0), true},    {Mac(0x04, 0x00, 0xff, 0, 0, 0), true},
      {Mac(0x04, 0, 0, 0xff, 0xff, 0xff), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.address.IsValidStart(), c.valid) << c.address.ToColonText();
  }
}

TEST(MacAddressTest, IncrementCarriesAndWraps) {
  struct Case {
    MacAddress before, after;
  } cases[] = {
      {Mac(0x04, 0x57, 0x55, 0, 0, 0), Mac(0x04, 0x57, 0x55, 0, 0, 1)},
      {Mac(0x04, 0x57, 0x55, 0, 0, 0xff), Mac(0x04, 0x57, 0x55, 0, 1, 0)},
      {Mac(0x04, 0x57, 0x55, 0xff, 0xff, 0xff), Mac(0x04, 0x57, 0x56, 0, 0, 0)},
      {Mac(0x00, 0xff, 0xff, 0xff, 0xff, 0xff), Mac(0x01, 0, 0, 0, 0, 0)},
      {Mac(0xff, 0xff, 0xff, 0xff, 0xff, 0xff), Mac(0, 0, 0, 0, 0, 0)},
  };
  for (Case c : cases) {
    c.before.Increment();
    EXPECT_EQ(c.before, c.after) << c.after.ToColonText();
  }
}

TEST(MacAddressTest, TextFormsAreLowerCaseAndFixedWidth) {
  const MacAddress address = *MacAddress::Parse("00:1A:2B:3C:4D:5E");
  EXPECT_EQ(address.ToColonText(), "00:1a:2b:3c:4d:5e");
  EXPECT_EQ(address.ToFileName(), "fw_001a2b_3c4d5e.img");
  EXPECT_EQ(kDefault.ToColonText(), "04:57:55:00:00:00");
  EXPECT_EQ(kDefault.ToFileName(), "fw_045755_000000.img");
}

}  // namespace
}  // namespace quillmark
