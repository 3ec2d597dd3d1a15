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
  };
  for (const EscapeCase& c : cases) {
    EXPECT_EQ(EscapeControlCharacters(c.text), c.shown) << c.shown;
    EXPECT_EQ(HasControlCharacters(c.text), c.text != c.shown) << c.shown;
  }
}

}  // namespace
}  // namespace quillmark
