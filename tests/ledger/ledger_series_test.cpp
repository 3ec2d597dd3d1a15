// Serial series on both back ends: a batch takes the next numbers of its
// series with its addresses, and no number is ever issued twice.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ledger_csv.h"
#include "ledger_fixture.h"
#include "ledger_listing.h"
#include "serial_series.h"

namespace quillmark::test {
namespace {

using namespace ledger;
using testing::HasSubstr;

class LedgerSeriesTest : public LedgerTest {
 protected:
  Series AddSeries(const std::string& name, const std::string& text,
                   std::optional<std::uint64_t> first = std::nullopt) {
    Result<Series> added = m_ledger->AddSeries(name, text, first);
    EXPECT_TRUE(added) << added.error().message;
    return added ? added.value() : Series{};
  }
  static BatchRequest WithSeries(BatchRequest request, const std::string& series) {
    request.series = series;
    return request;
  }
  std::vector<std::string> SerialsOf(const BatchSummary& batch) {
    std::vector<std::string> serials;
    const std::optional<BatchSerials> maker = BatchSerials::Of(batch.serials);
    EXPECT_TRUE(maker);
    for (std::int32_t i = 0; maker && i < batch.deviceCount; ++i)
      serials.push_back(maker->At(i));
    return serials;
  }
};

TEST_P(LedgerSeriesTest, SeriesAreAddedOnceAndListed) {
  const Series added = AddSeries("line3", "SN{seq:4}", 100);
  EXPECT_EQ(added.firstSeq, 100u);
  EXPECT_EQ(added.endSeq, 10000u);
  EXPECT_FALSE(added.createdAt.empty());
  AddSeries("imei", "35{seq:12}{check:luhn}");
  const Result<std::vector<Series>> all = m_ledger->SeriesList();
  ASSERT_TRUE(all);
  ASSERT_EQ(all->size(), 2u);
  EXPECT_EQ(all.value()[0].name, "imei");
  EXPECT_EQ(all.value()[1].templateText, "SN{seq:4}");

  struct Refused {
    std::string name, text;
    std::optional<std::uint64_t> first;
  };
  for (const Refused& refused : std::vector<Refused>{{"line3", "X{seq:4}", std::nullopt},
                                                     {"fixed", "SN0001", std::nullopt},
                                                     {"past", "{seq:2}", 100},
                                                     {"", "{seq:2}", std::nullopt},
                                                     {"bad\n", "{seq:2}", std::nullopt}}) {
    const Result<Series> again = m_ledger->AddSeries(refused.name, refused.text, refused.first);
    ASSERT_FALSE(again) << refused.name;
    EXPECT_EQ(again.error().fault, LedgerFault::SeriesConflict) << again.error().message;
  }
  EXPECT_EQ(m_ledger->SeriesList()->size(), 2u);
}

TEST_P(LedgerSeriesTest, BatchesTakeTheNextNumbersInDeviceOrderAndNeverGetThemBack) {
  AddSeries("line3", "L{seq:5}{check:mod37-36}");
  const Reservation first = Reserve(WithSeries(Request(kVendor, 3), "line3"));
  EXPECT_EQ(first.serials.series, "line3");
  EXPECT_EQ(first.serials.firstSeq, 1u);
  // A stopped, a failed and a voided batch keep their numbers.
  ASSERT_TRUE(m_ledger->RecordOutcome(first.writeId, WriteOutcome{1, 0, true, false}));
  const Reservation second = Reserve(WithSeries(Request(kVendor + 10, 2), "line3"));
  EXPECT_EQ(second.serials.firstSeq, 4u);
  ASSERT_TRUE(m_ledger->RecordOutcome(second.writeId, WriteOutcome{0, 2, false, false}));
  ASSERT_TRUE(m_ledger->Void(second.batchId, "labels lost"));
  const Reservation third = Reserve(WithSeries(Request(kVendor + 20, 1), "line3"));
  EXPECT_EQ(third.serials.firstSeq, 6u);
  // A batch without a series takes none.
  EXPECT_FALSE(Reserve(Request(kVendor + 30, 1)).serials.any());

  const std::vector<BatchDetails> batches = AllBatches();
  ASSERT_EQ(batches.size(), 4u);
  const std::vector<std::string> serials = SerialsOf(batches[0].batch);
  ASSERT_EQ(serials.size(), 3u);
  EXPECT_EQ(serials[0].substr(0, 6), "L00001");
  EXPECT_EQ(serials[2].substr(0, 6), "L00003");
  for (const std::string& serial : serials)
    EXPECT_TRUE(serial::HasValidCheckCharacter(serial::CheckKind::Mod3736, serial)) << serial;
  EXPECT_EQ(SerialsOf(batches[1].batch)[0].substr(0, 6), "L00004");
  EXPECT_EQ(batches[1].batch.serials.date.size(), 10u);

  EXPECT_THAT(BatchDetailsText(batches[0]),
              HasSubstr(serials[0] + " 至 " + serials[2] + "（系列 line3）"));
  EXPECT_THAT(BatchListing(batches), HasSubstr(serials[0]));
  EXPECT_THAT(ExportCsv(batches), HasSubstr(",line3," + serials[0] + "," + serials[2] + "\n"));
}

TEST_P(LedgerSeriesTest, ASeriesThatWouldRunOutIsRefusedBeforeAnythingIsRecorded) {
  AddSeries("short", "{seq:1}");  // numbers 1 to 9
  const Result<Reservation> tooMany = m_ledger->Reserve(WithSeries(Request(kVendor, 10), "short"));
  ASSERT_FALSE(tooMany);
  EXPECT_EQ(tooMany.error().fault, LedgerFault::SeriesFull);
  EXPECT_TRUE(AllBatches().empty());
  Reserve(WithSeries(Request(kVendor, 9), "short"));
  const Result<Reservation> one = m_ledger->Reserve(WithSeries(Request(kVendor + 9, 1), "short"));
  ASSERT_FALSE(one);
  EXPECT_EQ(one.error().fault, LedgerFault::SeriesFull);

  const Result<Reservation> unknown =
      m_ledger->Reserve(WithSeries(Request(kVendor + 9, 1), "nope"));
  ASSERT_FALSE(unknown);
  EXPECT_EQ(unknown.error().fault, LedgerFault::UnknownSeries);

  AddSeries("bylot", "{lot}{seq:3}");
  BatchRequest spaced = WithSeries(Request(kVendor + 9, 1), "bylot");
  spaced.lot = "lot 7";
  const Result<Reservation> lot = m_ledger->Reserve(spaced);
  ASSERT_FALSE(lot);
  EXPECT_EQ(lot.error().fault, LedgerFault::SeriesConflict);
  EXPECT_EQ(AllBatches().size(), 1u);
}

TEST_P(LedgerSeriesTest, AnotherWriteKeepsTheBatchsSerials) {
  AddSeries("a", "A{seq:4}");
  AddSeries("b", "B{seq:4}");
  const Reservation first = Reserve(WithSeries(Request(kVendor, 4), "a"));
  ASSERT_TRUE(m_ledger->RecordOutcome(first.writeId, WriteOutcome{4, 0, false, true}));
  const Reservation again = Reserve(WithSeries(Request(kVendor, 4), "a"));
  EXPECT_TRUE(again.rewrite);
  EXPECT_EQ(again.serials.firstSeq, first.serials.firstSeq);
  ASSERT_TRUE(m_ledger->RecordOutcome(again.writeId, WriteOutcome{4, 0, false, true}));
  for (const std::string& other : {std::string("b"), std::string()}) {
    const Result<Reservation> mismatch = m_ledger->Reserve(WithSeries(Request(kVendor, 4), other));
    ASSERT_FALSE(mismatch);
    EXPECT_EQ(mismatch.error().fault, LedgerFault::SeriesMismatch);
  }
  // The next batch still follows the first.
  EXPECT_EQ(Reserve(WithSeries(Request(kVendor + 4, 1), "a")).serials.firstSeq, 5u);
}

TEST_P(LedgerSeriesTest, ACheckShowsTheSerialsAndTheDatabaseRefusesAnOverlap) {
  AddSeries("line3", "SN{seq:4}");
  const Result<Reservation> checked = m_ledger->Check(WithSeries(Request(kVendor, 2), "line3"));
  ASSERT_TRUE(checked) << checked.error().message;
  EXPECT_THAT(CheckText(checked.value()), HasSubstr("SN0001 至 SN0002"));
  EXPECT_TRUE(AllBatches().empty());
  Reserve(WithSeries(Request(kVendor, 2), "line3"));
  // Past the rules, straight into the table: the schema's own rule holds.
  const std::string refused = m_place->RawSql(
      "INSERT INTO " + m_place->Table("batches") +
      " (first_mac, device_count, macs_per_device, station, series, first_seq, serial_date" +
      (GetParam() == Backend::SQLite ? ", recorded_by" : std::string()) + ") VALUES (" +
      std::to_string(kVendor + 100) + ", 2, 1, 'x', 'line3', 2, '2024-05-01'" +
      (GetParam() == Backend::SQLite ? ", 'me'" : std::string()) + ")");
  EXPECT_THAT(refused, HasSubstr("overlap"));
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerSeriesTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

}  // namespace
}  // namespace quillmark::test
