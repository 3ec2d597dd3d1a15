// A pool's usage as the report draws it: free ranges at the pool's edges,
// batches reaching past the pool, a full pool, a single address in a huge
// pool still visible on the bar, and a page that stays small.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ledger_report.h"
#include "report_html.h"

namespace quillmark::ledger {
namespace {

using testing::HasSubstr;

BatchDetails Batch(std::uint64_t first, std::int32_t count, Ending ending, bool voided = false) {
  BatchDetails details;
  details.batch.firstMac = first;
  details.batch.deviceCount = count;
  details.batch.macsPerDevice = 1;
  details.batch.voided = voided;
  WriteRecord write;
  write.ending = ending;
  details.writes.push_back(write);
  return details;
}

struct Case {
  const char* name;
  std::vector<BatchDetails> batches;
  std::uint64_t used, finished, reserved, voided;
  MacRange largestFree;
  std::optional<std::uint64_t> nextFree;
  std::size_t segments;
};

TEST(LedgerReportUsage, CountsMergesAndFindsTheFreeRanges) {
  const Pool pool{"p", {100, 100}, "", ""};
  const Case cases[] = {
      {"empty", {}, 0, 0, 0, 0, {100, 100}, 100, 1},
      {"full of adjacent finished batches merged into one segment",
       {Batch(100, 60, Ending::Finished), Batch(160, 40, Ending::Finished)},
       100,
       100,
       0,
       0,
       {0, 0},
       std::nullopt,
       1},
      {"reaching past both edges, outside ones ignored",
       {Batch(90, 20, Ending::Stopped), Batch(190, 20, Ending::None),
        Batch(0, 50, Ending::Finished), Batch(300, 5, Ending::Finished)},
       20,
       0,
       20,
       0,
       {110, 80},
       110,
       3},
      {"the lowest of two equal gaps, voided and failed kept apart",
       {Batch(110, 10, Ending::Failed), Batch(120, 10, Ending::Finished, true),
        Batch(140, 50, Ending::Finished)},
       70,
       50,
       10,
       10,
       {100, 10},
       100,
       6},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const PoolUsage usage = ComputePoolUsage(pool, c.batches);
    EXPECT_EQ(usage.used, c.used);
    EXPECT_EQ(usage.addresses[int(Usage::Finished)], c.finished);
    EXPECT_EQ(usage.addresses[int(Usage::Reserved)], c.reserved);
    EXPECT_EQ(usage.addresses[int(Usage::Voided)], c.voided);
    EXPECT_EQ(usage.addresses[int(Usage::Free)], 100 - c.used);
    EXPECT_EQ(usage.largestFree, c.largestFree);
    EXPECT_EQ(usage.nextFree, c.nextFree);
    EXPECT_EQ(usage.segments.size(), c.segments);
  }
}

TEST(LedgerReportUsage, TheBarShowsOneAddressOfAHugePoolAndStaysSmall) {
  const Pool huge{"huge", {0, std::uint64_t{1} << 40}, "", ""};
  const PoolUsage one =
      ComputePoolUsage(huge, {Batch(std::uint64_t{1} << 39, 1, Ending::Finished, true)});
  const std::string bar = PoolBarSvg(one, ChineseReportTexts());
  EXPECT_THAT(bar, HasSubstr("<rect x=\"500\" y=\"0\" width=\"1\" height=\"30\" fill=\"" +
                             std::string(UsageColour(Usage::Voided)) + "\">"));

  // 100,000 batches alternating in kind: still at most one shape per column.
  std::vector<BatchDetails> many;
  for (int i = 0; i < 100000; ++i)
    many.push_back(
        Batch(std::uint64_t(i) * 3, 2, i % 2 ? Ending::Finished : Ending::None, i % 7 == 0));
  const std::string crowded =
      PoolBarSvg(ComputePoolUsage({"p", {0, 300000}, "", ""}, many), ChineseReportTexts());
  EXPECT_LT(crowded.size(), 1001 * 120u);
}

}  // namespace
}  // namespace quillmark::ledger
