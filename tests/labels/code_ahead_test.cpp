// Codes encoded ahead on helper threads come back in order, each the one
// its label asked for, however many helpers there are; a sheet that stops
// early ends its helpers.
#include <gtest/gtest.h>

#include "code_ahead.h"

namespace quillmark::test {
namespace {

using labels::CodeAhead;
using labels::CodeKind;

std::string Payload(std::size_t i) {
  return "04:57:55:00:" + std::to_string(i / 100 % 100) + ":" + std::to_string(i % 100);
}

class CodeAheadTest : public testing::TestWithParam<unsigned> {};

TEST_P(CodeAheadTest, CodesComeInOrderEachForItsLabel) {
  constexpr std::size_t kCount = 3 * CodeAhead::kWindow + 7;
  CodeAhead codes(CodeKind::Code128, kCount, Payload, GetParam());
  for (std::size_t i = 0; i < kCount; ++i) {
    const labels::EncodedCode taken = codes.Take(i);
    const labels::EncodedCode direct = labels::EncodeCode(CodeKind::Code128, Payload(i));
    ASSERT_TRUE(taken.grid && direct.grid) << i;
    ASSERT_EQ(taken.grid->dark, direct.grid->dark) << i;
  }
}

TEST_P(CodeAheadTest, StoppingEarlyEndsTheHelpers) {
  CodeAhead codes(CodeKind::Qr, 100000, Payload, GetParam());
  for (std::size_t i = 0; i < 10; ++i)
    EXPECT_TRUE(codes.Take(i).grid);
}

INSTANTIATE_TEST_SUITE_P(Helpers, CodeAheadTest, testing::Values(0u, 1u, 3u),
                         [](const testing::TestParamInfo<unsigned>& info) {
                           return std::to_string(info.param) + "Helpers";
                         });

TEST(CodeAheadEncoding, AFailedEncodingComesBackAsItsError) {
  CodeAhead codes(
      CodeKind::Code128, 1, [](std::size_t) { return std::string(300, '1'); }, 1);
  const labels::EncodedCode code = codes.Take(0);
  EXPECT_FALSE(code.grid);
  EXPECT_FALSE(code.error.empty());
}

}  // namespace
}  // namespace quillmark::test
