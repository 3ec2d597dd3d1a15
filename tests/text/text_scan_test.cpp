#include "text_scan.h"

#include <gtest/gtest.h>

namespace quillmark {
namespace {

TEST(ReadDecimalInt32Test, ReadsLikeTheDialogAlwaysHas) {
  struct Case {
    const char* text;
    std::optional<std::int32_t> value;
  } cases[] = {
      {"255", 255},
      {" 12", 12},
      {"\t\n\v\f\r 12", 12},
      {"+7", 7},
      {"-3", -3},
      {"12abc", 12},
      {"1.9", 1},
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+-1", 0},
      {"  - 5", 0},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"2147483648", std::nullopt},
      {"-2147483649", std::nullopt},
      {"4294967297", std::nullopt},  // would read as 1 if cut to 32 bits
      {"123456789012", std::nullopt},
      {"0000000000000000000065535", 65535},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ReadDecimalInt32(c.text), c.value) << "text: \"" << c.text << "\"";
  }
}

}  // namespace
}  // namespace quillmark
