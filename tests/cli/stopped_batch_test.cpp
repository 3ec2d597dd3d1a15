// A batch whose last write was stopped stands in the way of a request for
// its remaining devices. The refusal stays the last line as it always
// was; the line before it says how to finish the batch: the same batch
// again into the same folder, which the ledger takes as another write.
#include <gmock/gmock.h>

#include "cli_fixture.h"
#include "ledger_fixture.h"
#include "sha256.h"

namespace quillmark::test {
namespace {

using testing::MatchesRegex;

constexpr std::uint64_t kStart = 0x045755000000;

class StoppedBatchTest : public CliTest {
 protected:
  void SetUp() override {
    CliTest::SetUp();
    m_place = std::make_unique<FreshLedgerPlace>(Backend::SQLite);
    ASSERT_EQ(m_place->error(), "");
    ASSERT_TRUE(ledger::InitLedger(m_place->location()));
    auto opened = ledger::OpenLedger(m_place->location());
    ASSERT_TRUE(opened) << opened.error().message;
    m_ledger = std::move(opened.value());
  }

  // A batch of six devices recorded by station, stopped after two.
  void RecordStopped(const std::string& digest, const std::string& station) {
    auto reserved = m_ledger->Reserve({kStart, 6, 1, "", station, digest, m_root + "/out"});
    ASSERT_TRUE(reserved) << reserved.error().message;
    ASSERT_TRUE(m_ledger->RecordOutcome(reserved->writeId, {2, 0, true, false}));
  }

  ChildResult Write(std::vector<std::string> args) {
    args.insert(args.begin(),
                {"--image=image.img", "--ledger", m_place->location().target, "--station=line3"});
    return Run(args);
  }

  std::string Digest() const { return ledger::Sha256Hex(m_image.data(), m_image.size()); }

  std::unique_ptr<FreshLedgerPlace> m_place;
  std::unique_ptr<ledger::Ledger> m_ledger;
};

const std::string kOverlap = Said(
    "MAC地址范围与账本中的批次重叠！批次 1：04:57:55:00:00:00 至 04:57:55:00:00:05，"
    "工位 line3，[0-9T:Z-]+",
    "The MAC address range overlaps a batch in the ledger: Batch 1: 04:57:55:00:00:00 to "
    "04:57:55:00:00:05, station line3, [0-9T:Z-]+");

// The line before the refusal, up to the arguments that finish the batch.
std::string FinishHint(int batch, int written) {
  const std::string id = std::to_string(batch);
  const std::string done = std::to_string(written);
  return Said("批次 " + id + " 上次写入已停止（已写入" + done +
                  "个设备文件，共6个）；完成本批（同一批次以同一映像再次写入同一目录）：",
              "The last write of batch " + id + " was stopped (" + done +
                  " of 6 device files written); to finish the batch (the same batch again with "
                  "the same image into the same folder): ");
}

TEST_F(StoppedBatchTest, TheRemainingDevicesAreRefusedWithHowToFinishTheBatch) {
  RecordStopped(Digest(), "line3");
  const std::string hint = FinishHint(1, 2) + "--out=" + m_root +
                           "/out --start-mac=04:57:55:00:00:00 --count=6 --macs-per-device=1";
  for (const char* dryRun : {"--quiet", "--dry-run"}) {
    SCOPED_TRACE(dryRun);
    const ChildResult rest =
        Write({"--out=rest", "--start-mac=04:57:55:00:00:02", "--count=4", dryRun});
    EXPECT_EQ(rest.exitCode, 1);
    const std::vector<std::string> err = Lines(rest.err);
    ASSERT_EQ(err.size(), 2u) << rest.err;
    EXPECT_EQ(err[0], hint);
    EXPECT_THAT(err[1], MatchesRegex(kOverlap));
  }

  // What the line says finishes it.
  const ChildResult finished =
      Write({"--out=" + m_root + "/out", "--start-mac=04:57:55:00:00:00", "--count=6", "--quiet"});
  EXPECT_EQ(finished.exitCode, 0) << finished.err;
  auto batches = m_ledger->Batches({});
  ASSERT_TRUE(batches);
  ASSERT_EQ(batches->size(), 1u);
  ASSERT_EQ(batches->front().writes.size(), 2u);
  EXPECT_EQ(batches->front().writes.back().ending, ledger::Ending::Finished);
}

// Only the batch's own image finishes it; another station's batch is
// finished under its name.
TEST_F(StoppedBatchTest, TheLineIsGivenOnlyForTheSameImageAndNamesAnotherStation) {
  RecordStopped(std::string(64, 'b'), "line3");
  ChildResult rest = Write({"--start-mac=04:57:55:00:00:02", "--count=4"});
  EXPECT_EQ(rest.exitCode, 1);
  EXPECT_THAT(rest.err, MatchesRegex(kOverlap + "\n"));

  ASSERT_TRUE(m_ledger->Void(1, "wrong image"));
  auto reserved = m_ledger->Reserve({kStart + 0x10, 6, 1, "", "line9", Digest(), m_root + "/nine"});
  ASSERT_TRUE(reserved) << reserved.error().message;
  ASSERT_TRUE(m_ledger->RecordOutcome(reserved->writeId, {1, 0, true, false}));
  rest = Write({"--start-mac=04:57:55:00:00:12", "--count=4"});
  EXPECT_EQ(rest.exitCode, 1);
  const std::vector<std::string> err = Lines(rest.err);
  ASSERT_EQ(err.size(), 2u) << rest.err;
  EXPECT_EQ(err[0], FinishHint(2, 1) + "--out=" + m_root +
                        "/nine --start-mac=04:57:55:00:00:10 --count=6 --macs-per-device=1 "
                        "--station=line9");
}

}  // namespace
}  // namespace quillmark::test
