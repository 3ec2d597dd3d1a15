#include "utf8_text.h"

#include <gtest/gtest.h>

namespace quillmark::cli {
namespace {

TEST(ToValidUtf8Test, KeepsWellFormedTextAndReplacesEveryForeignByte) {
  const std::string r = "\xEF\xBF\xBD";
  struct Case {
    std::string in, out;
  } cases[] = {
      {"创建文件出错: /tmp/out/fw_045755_000000.img",
       "创建文件出错: /tmp/out/fw_045755_000000.img"},
      {"out\xff\xfe", "out" + r + r},
      {"\xC0\xAF", r + r},                  // overlong "/"
      {"\xED\xA0\x80", r + r + r},          // a surrogate
      {"\xF4\x90\x80\x80", r + r + r + r},  // above U+10FFFF
      {"\xE4\xBD", r + r},                  // cut short at the end
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
      {std::string("a\0b", 3), std::string("a\0b", 3)},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ToValidUtf8(c.in), c.out);
}

}  // namespace
}  // namespace quillmark::cli
