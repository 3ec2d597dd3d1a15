// The export a spreadsheet or an audit reads: every write of every batch.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "child_process.h"
#include "ledger_csv.h"
#include "ledger_fixture.h"

namespace quillmark::test {
namespace {

using namespace ledger;
using testing::MatchesRegex;

using LedgerExportTest = LedgerTest;

TEST_P(LedgerExportTest, OneRowPerWriteWithTheBatchAndItsVoid) {
  BatchRequest first = Request(kVendor, 2, 2);
  first.outputFolder = "/srv/out, \"lot\" 5";
  first.lot = "L-0412, A";
  const Reservation a = Reserve(first);
  ASSERT_TRUE(m_ledger->RecordOutcome(a.writeId, WriteOutcome{2, 0, false, true}));
  BatchRequest rerun = first;
  rerun.rerunBatch = a.batchId;
  rerun.rerunReason = "new image, \"signed\"";
  const Reservation again = Reserve(rerun);
  ASSERT_TRUE(m_ledger->RecordOutcome(again.writeId, WriteOutcome{1, 1, false, false}));
  const Reservation b = Reserve(Request(kVendor + 0x100, 1));
  ASSERT_TRUE(m_ledger->Void(b.batchId, "wrong line, 线3"));

  const std::vector<std::string> lines = Lines(ExportCsv(AllBatches()));
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "batch_id,first_mac,last_mac,device_count,macs_per_device,pool,batch_station,"
            "recorded_by,recorded_at,voided_at,voided_by,void_reason,write_id,write_station,"
            "image_sha256,output_folder,written_by,started_at,ended_at,devices_written,"
            "devices_failed,ending,lot,rerun_reason,series,first_serial,last_serial");
  const std::string time = "[0-9T:Z-]{20}";
  const std::string batchA = std::to_string(a.batchId) +
                             ",04:57:55:00:00:00,04:57:55:00:00:03,2,2,,line3-a,[^,]+," + time +
                             ",,,,";
  const std::string folder = "\"/srv/out, \"\"lot\"\" 5\"";
  EXPECT_THAT(lines[1], MatchesRegex(batchA + std::to_string(a.writeId) + ",line3-a," + kDigest +
                                     "," + folder + ",[^,]+," + time + "," + time +
                                     ",2,0,finished,\"L-0412, A\",,,,"));
  EXPECT_THAT(lines[2], MatchesRegex(batchA + std::to_string(again.writeId) + ",line3-a," +
                                     kDigest + "," + folder + ",[^,]+," + time + "," + time +
                                     ",1,1,failed,\"L-0412, A\",\"new image, \"\"signed\"\"\",,,"));
  EXPECT_THAT(lines[3], MatchesRegex(std::to_string(b.batchId) +
                                     ",04:57:55:00:01:00,04:57:55:00:01:00,1,1,,line3-a,[^,]+," +
                                     time + "," + time + ",[^,]+,\"wrong line, 线3\"," +
                                     std::to_string(b.writeId) + ",line3-a," + kDigest +
                                     ",/srv/line3/lot-0412,[^,]+," + time + ",,,,,,,,,"));
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerExportTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

}  // namespace
}  // namespace quillmark::test
