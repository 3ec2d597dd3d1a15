#include "printable_text.h"

#include <gtest/gtest.h>

#include <string>

namespace quillmark {
namespace {

struct EscapeCase {
  std::string text;
  std::string shown;
};

TEST(EscapeControlCharactersTest, EscapesWhatCouldDriveATerminalAndKeepsTheRest) {
  const EscapeCase cases[] = {
      {"lineA", "lineA"},
      {"工位一", "工位一"},
      {"a\nb", "a\\x0ab"},
      {"\x1b[31mred", "\\x1b[31mred"},
      {"\x1b]0;title\x07", "\\x1b]0;title\\x07"},
      {"tab\there\r", "tab\\x09here\\x0d"},
      {"del\x7f", "del\\x7f"},
      {"csi\xc2\x9b"
       "2J",
       "csi\\xc2\\x9b2J"},
      {"\xc2\xa0nbsp", "\xc2\xa0nbsp"},
      {std::string("nul\0end", 7), "nul\\x00end"},
      {"C:\\dir\\x", "C:\\dir\\x"},
      // Invisible format characters: a range shown backwards, a total of
      // 12 shown as 21, names that look alike.
      {"04:57\u202e00:10", "04:57\\xe2\\x80\\xae00:10"},
      {"\u20661\u20692", "\\xe2\\x81\\xa61\\xe2\\x81\\xa92"},
      {"line\u200b3", "line\\xe2\\x80\\x8b3"},
      {"\u200d\u200f\u00ad\ufeff", "\\xe2\\x80\\x8d\\xe2\\x80\\x8f\\xc2\\xad\\xef\\xbb\\xbf"},
      {"a\u2028b\u2063", "a\\xe2\\x80\\xa8b\\xe2\\x81\\xa3"},
      {"tag\U000E0041", "tag\\xf3\\xa0\\x81\\x81"},
      // Visible neighbours stay: a dash, an ellipsis, a no-break space.
      {"\u2010\u2026\u00a0\u3000\u00ae", "\u2010\u2026\u00a0\u3000\u00ae"},
      // A byte that starts no character is no format character.
      {"\xe2\x80", "\xe2\x80"},
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(EscapeControlCharacters(c.text), c.shown) << c.shown;
    EXPECT_EQ(HasControlCharacters(c.text), c.text != c.shown) << c.shown;
  }
}

TEST(IsBlankTest, OnlyWhiteSpaceOfAnyKindIsBlank) {
  const struct {
    std::string text;
    bool blank;
  } cases[] = {
      {"", true},         {" \t ", true},    {"\u00a0", true}, {"\u3000\u2003 \u202f", true},
      {"\u00a0x", false}, {"\u200b", false},  // no space, but a format character, refused as such
      {"\xa0", false},                        // not UTF-8
      {"批号", false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(IsBlank(c.text), c.blank) << testing::PrintToString(c.text);
}

}  // namespace
}  // namespace quillmark
