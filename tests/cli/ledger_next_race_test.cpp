// Stations taking the next free range of one shared pool at once, each a
// real quillmark-cli with a connection of its own: every run gets a range,
// none is refused as an overlap, and no address goes out twice; a dry look
// (`ledger check --start-mac next`) beside them is never refused either.
#include <gmock/gmock.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <regex>

#include "cli_fixture.h"
#include "ledger_fixture.h"

namespace quillmark::test {
namespace {

using ledger::BatchDetails;
using ledger::MacRange;

constexpr std::uint64_t kStart = 0x045755000000;
constexpr int kStations = 8;
constexpr int kRounds = 5;
constexpr int kLookers = 2;
constexpr int kCount = 2;

class LedgerNextRaceTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    ASSERT_EQ(m_place.error(), "");
    ASSERT_TRUE(ledger::InitLedger(m_place.location()));
    auto opened = ledger::OpenLedger(m_place.location());
    ASSERT_TRUE(opened) << opened.error().message;
    m_ledger = std::move(opened.value());
    ASSERT_TRUE(m_ledger->AddPool("line3", MacRange{kStart, 0x10000}));
  }

  std::unique_ptr<ChildProcess> Start(std::vector<std::string> args) {
    ChildOptions options;
    options.workingDirectory = m_root;
    auto child = std::make_unique<ChildProcess>(CliCommand(args), options);
    EXPECT_TRUE(child->started());
    return child;
  }

  FreshLedgerPlace m_place{Backend::PostgreSQL};
  std::unique_ptr<ledger::Ledger> m_ledger;
};

std::optional<std::uint64_t> MacAsNumber(const std::string& text) {
  unsigned octets[6] = {};
  if (std::sscanf(text.c_str(), "%2x:%2x:%2x:%2x:%2x:%2x", &octets[0], &octets[1], &octets[2],
                  &octets[3], &octets[4], &octets[5]) != 6)
    return std::nullopt;
  std::uint64_t number = 0;
  for (const unsigned octet : octets)
    number = number << 8 | octet;
  return number;
}

// "账本已记录：新批次 12，04:57:55:00:00:10 至 04:57:55:00:00:11（地址池 line3）", or
// "Ledger recorded: new batch 12, 04:57:55:00:00:10 to 04:57:55:00:00:11 (pool line3)"
std::optional<MacRange> RecordedRange(const std::string& out) {
  static const std::regex line(
      Said("账本已记录：新批次 [0-9]+，([0-9a-f:]{17}) 至 ([0-9a-f:]{17})",
           "Ledger recorded: new batch [0-9]+, ([0-9a-f:]{17}) to ([0-9a-f:]{17})"));
  std::smatch match;
  if (!std::regex_search(out, match, line))
    return std::nullopt;
  const std::optional<std::uint64_t> first = MacAsNumber(match[1].str());
  const std::optional<std::uint64_t> last = MacAsNumber(match[2].str());
  if (!first || !last)
    return std::nullopt;
  return MacRange{*first, *last - *first + 1};
}

TEST_F(LedgerNextRaceTest, StationsTakingTheNextRangeAtOnceAllSucceedWithoutSharingAnAddress) {
  std::vector<MacRange> told;
  for (int round = 0; round < kRounds; ++round) {
    std::vector<std::unique_ptr<ChildProcess>> writers;
    std::vector<std::unique_ptr<ChildProcess>> lookers;
    for (int station = 0; station < kStations; ++station) {
      const std::string name = "st" + std::to_string(station);
      writers.push_back(
          Start({"--image=image.img", "--ledger", m_place.location().target, "--start-mac=next",
                 "--pool=line3", "--count=" + std::to_string(kCount), "--station=" + name,
                 "--out=" + name + "_" + std::to_string(round), "--quiet"}));
    }
    for (int looker = 0; looker < kLookers; ++looker) {
      lookers.push_back(
          Start({"ledger", "check", "--start-mac", "next", "--count", std::to_string(kCount),
                 "--pool", "line3", "--ledger", m_place.location().target}));
    }
    for (auto& writer : writers) {
      const ChildResult result = writer->Finish(kChildTimeout);
      EXPECT_EQ(result.exitCode, 0) << "round " << round << ": " << result.err;
      const std::optional<MacRange> range = RecordedRange(result.out);
      EXPECT_TRUE(range) << result.out;
      if (range)
        told.push_back(*range);
    }
    for (auto& looker : lookers) {
      const ChildResult result = looker->Finish(kChildTimeout);
      EXPECT_EQ(result.exitCode, 0) << "round " << round << ": " << result.err;
    }
    // The images are checked by the write's own tests; here they only
    // take room.
    for (int station = 0; station < kStations; ++station) {
      std::filesystem::remove_all(m_root + "/st" + std::to_string(station) + "_" +
                                  std::to_string(round));
    }
  }

  ASSERT_EQ(told.size(), std::size_t{kStations * kRounds});
  std::sort(told.begin(), told.end(),
            [](const MacRange& a, const MacRange& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < told.size(); ++i)
    EXPECT_LE(told[i - 1].end(), told[i].first) << "two stations were told one address";
  auto batches = m_ledger->Batches({});
  ASSERT_TRUE(batches) << batches.error().message;
  std::vector<MacRange> recorded;
  for (const BatchDetails& details : batches.value())
    recorded.push_back(details.batch.macs());
  std::sort(recorded.begin(), recorded.end(),
            [](const MacRange& a, const MacRange& b) { return a.first < b.first; });
  EXPECT_EQ(recorded, told);
  EXPECT_EQ(m_place.FreeRangesDisagree(), "");
}

}  // namespace
}  // namespace quillmark::test
