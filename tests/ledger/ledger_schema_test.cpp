// The schema: created and upgraded by init only, and the rules kept by the
// database itself, whoever writes to it.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "ledger_fixture.h"
#include "postgres_ledger.h"
#include "sqlite_handle.h"

namespace quillmark::test {
namespace {

using namespace ledger;
using testing::HasSubstr;

class LedgerSchemaTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override { ASSERT_EQ(m_place.error(), ""); }
  const LedgerLocation& location() const { return m_place.location(); }

  FreshLedgerPlace m_place{GetParam()};
};

BatchRequest Batch(std::uint64_t first, std::int32_t count) {
  BatchRequest request;
  request.firstMac = first;
  request.deviceCount = count;
  request.macsPerDevice = 1;
  request.station = "line3-a";
  request.imageSha256 = kDigest;
  request.outputFolder = "out";
  return request;
}

TEST_P(LedgerSchemaTest, OpeningCreatesNothingAndAsksForInit) {
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location());
  ASSERT_FALSE(opened);
  EXPECT_EQ(opened.error().fault, LedgerFault::NotInitialized);
  EXPECT_THAT(opened.error().message, HasSubstr("quillmark-cli ledger init"));
  if (GetParam() == Backend::SQLite) {
    EXPECT_FALSE(std::filesystem::exists(location().target));
  }
}

TEST_P(LedgerSchemaTest, InitCreatesThenLeavesACurrentLedgerAsItIs) {
  Result<InitReport> created = InitLedger(location());
  ASSERT_TRUE(created) << created.error().message;
  EXPECT_EQ(created->versionBefore, 0);
  EXPECT_EQ(created->versionAfter, kLedgerSchemaVersion);
  ASSERT_TRUE(OpenLedger(location()).value()->Reserve(Batch(kVendor, 10)));
  Result<InitReport> again = InitLedger(location());
  ASSERT_TRUE(again);
  EXPECT_EQ(again->versionBefore, kLedgerSchemaVersion);
  EXPECT_EQ(again->versionAfter, kLedgerSchemaVersion);
  EXPECT_EQ(OpenLedger(location()).value()->Batches({})->size(), 1u);
}

// Each step records the version it brings the ledger to, so a ledger
// upgraded one step at a time reads as each version in turn.
TEST_P(LedgerSchemaTest, EachStepRecordsItsVersion) {
  for (int version = 1; version <= kLedgerSchemaVersion; ++version) {
    Result<InitReport> step = InitLedger(location(), version);
    ASSERT_TRUE(step) << version << ": " << step.error().message;
    EXPECT_EQ(step->versionBefore, version - 1);
    EXPECT_EQ(step->versionAfter, version);
    if (version < kLedgerSchemaVersion) {
      EXPECT_EQ(OpenLedger(location()).error().fault, LedgerFault::SchemaOutdated) << version;
    }
  }
  EXPECT_TRUE(OpenLedger(location()));
}

TEST_P(LedgerSchemaTest, UpgradesFromTheFirstVersionKeepingEveryBatch) {
  ASSERT_TRUE(InitLedger(location(), 1));
  // A batch recorded by the first version, and the write of it.
  const std::string user = GetParam() == Backend::SQLite ? ", recorded_by" : "";
  const std::string userValue = GetParam() == Backend::SQLite ? ", 'old'" : "";
  ASSERT_EQ(
      m_place.RawSql("INSERT INTO " + m_place.Table("batches") +
                     " (first_mac, device_count, macs_per_device, station" + user + ") VALUES (" +
                     std::to_string(kVendor) + ", 100, 2, 'line1'" + userValue + ")"),
      "");
  Result<std::unique_ptr<Ledger>> old = OpenLedger(location());
  ASSERT_FALSE(old);
  EXPECT_EQ(old.error().fault, LedgerFault::SchemaOutdated);

  Result<InitReport> upgraded = InitLedger(location());
  ASSERT_TRUE(upgraded) << upgraded.error().message;
  EXPECT_EQ(upgraded->versionBefore, 1);
  EXPECT_EQ(upgraded->versionAfter, kLedgerSchemaVersion);
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location());
  ASSERT_TRUE(opened) << opened.error().message;
  Ledger& ledger = *opened.value();
  const std::vector<BatchDetails> batches = ledger.Batches({}).value();
  ASSERT_EQ(batches.size(), 1u);
  EXPECT_EQ(batches[0].batch.station, "line1");
  EXPECT_EQ(batches[0].batch.macs(), (MacRange{kVendor, 200}));
  EXPECT_EQ(ledger.Reserve(Batch(kVendor + 199, 1)).error().fault, LedgerFault::Overlap);
  ASSERT_TRUE(ledger.AddPool("line1", MacRange{kVendor, 1000}));
  BatchRequest next = Batch(0, 10);
  next.firstMac.reset();
  next.pool = "line1";
  EXPECT_EQ(ledger.Reserve(next)->macs.first, kVendor + 200);
  EXPECT_TRUE(ledger.Void(batches[0].batch.id, "recorded by hand"));
  EXPECT_EQ(m_place.FreeRangesDisagree(), "");
}

// A ledger with pools and batches gets their free ranges on its upgrade.
TEST_P(LedgerSchemaTest, UpgradesFromTheSecondVersionFindingThePoolsFreeRanges) {
  ASSERT_TRUE(InitLedger(location(), 2));
  const bool sqlite = GetParam() == Backend::SQLite;
  const std::string pool =
      sqlite ? "INSERT INTO pools (name, first_mac, end_mac, created_by) VALUES ('line1', " +
                   std::to_string(kVendor) + ", " + std::to_string(kVendor + 1000) + ", 'old')"
             : "INSERT INTO quillmark.pools (name, macs) VALUES ('line1', int8range(" +
                   std::to_string(kVendor) + ", " + std::to_string(kVendor + 1000) + "))";
  ASSERT_EQ(m_place.RawSql(pool), "");
  for (const auto& [first, count] :
       {std::pair{kVendor, 10}, {kVendor + 12, 3}, {kVendor + 40, 60}}) {
    ASSERT_EQ(m_place.RawSql("INSERT INTO " + m_place.Table("batches") +
                             " (first_mac, device_count, macs_per_device, station, pool" +
                             (sqlite ? ", recorded_by" : "") + ") VALUES (" +
                             std::to_string(first) + ", " + std::to_string(count) +
                             ", 1, 'line1', 'line1'" + (sqlite ? ", 'old'" : "") + ")"),
              "");
  }
  ASSERT_TRUE(InitLedger(location()));
  EXPECT_EQ(m_place.FreeRangesDisagree(), "");
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location());
  ASSERT_TRUE(opened) << opened.error().message;
  BatchRequest next = Batch(0, 20);
  next.firstMac.reset();
  next.pool = "line1";
  EXPECT_EQ(opened.value()->Reserve(next)->macs.first, kVendor + 15);
  next.deviceCount = 2;
  EXPECT_EQ(opened.value()->Reserve(next)->macs.first, kVendor + 10);
  EXPECT_EQ(m_place.FreeRangesDisagree(), "");
}

TEST_P(LedgerSchemaTest, ALedgerFromANewerProgramIsLeftAlone) {
  ASSERT_TRUE(InitLedger(location()));
  const std::string version = std::to_string(kLedgerSchemaVersion + 1);
  const std::string newer = GetParam() == Backend::SQLite
                                ? "PRAGMA user_version = " + version
                                : "UPDATE quillmark.schema_version SET version = " + version;
  ASSERT_EQ(m_place.RawSql(newer), "");
  EXPECT_EQ(OpenLedger(location()).error().fault, LedgerFault::SchemaTooNew);
  EXPECT_EQ(InitLedger(location()).error().fault, LedgerFault::SchemaTooNew);
}

// Raw SQL, past the library's own checks, still cannot break the rules.
TEST_P(LedgerSchemaTest, TheDatabaseItselfRefusesOverlapsChangesAndDeletions) {
  ASSERT_TRUE(InitLedger(location()));
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location());
  ASSERT_TRUE(opened);
  const Reservation reserved = opened.value()->Reserve(Batch(kVendor + 100, 100)).value();
  const std::string batches = m_place.Table("batches");
  const std::string user = GetParam() == Backend::SQLite ? ", recorded_by" : "";
  const std::string userValue = GetParam() == Backend::SQLite ? ", 'x'" : "";
  auto insert = [&](std::uint64_t first, int count) {
    return m_place.RawSql("INSERT INTO " + batches +
                          " (first_mac, device_count, macs_per_device, station" + user +
                          ") VALUES (" + std::to_string(first) + ", " + std::to_string(count) +
                          ", 1, 'raw'" + userValue + ")");
  };
  for (const auto& [first, count] :
       {std::pair{kVendor + 150, 1}, {kVendor + 50, 51}, {kVendor + 199, 10}, {kVendor, 1000}}) {
    EXPECT_NE(insert(first, count), "") << first << " " << count;
  }
  EXPECT_EQ(insert(kVendor + 200, 10), "");
  const std::string id = std::to_string(reserved.batchId);
  EXPECT_NE(
      m_place.RawSql("UPDATE " + batches + " SET first_mac = first_mac + 50 WHERE id = " + id), "");
  EXPECT_NE(m_place.RawSql("DELETE FROM " + batches + " WHERE id = " + id), "");
  EXPECT_NE(m_place.RawSql("DELETE FROM " + m_place.Table("batch_writes")), "");
  EXPECT_NE(m_place.RawSql("UPDATE " + m_place.Table("batch_writes") + " SET station = 'x'"), "");
  ASSERT_TRUE(opened.value()->AddPool("line3", MacRange{kVendor, 1000}));
  EXPECT_NE(m_place.RawSql("DELETE FROM " + m_place.Table("pools")), "");
  EXPECT_NE(insert(kVendor + 5000, 1), "");  // outside the only pool
  EXPECT_EQ(opened.value()->Batches({})->size(), 2u);

  // A write's reason is given when it is recorded, never blank, and stays
  // as it was when the outcome is recorded.
  const bool sqlite = GetParam() == Backend::SQLite;
  const std::string writes = m_place.Table("batch_writes");
  EXPECT_NE(m_place.RawSql("INSERT INTO " + writes +
                           " (batch_id, station, image_sha256, output_folder, rerun_reason" +
                           (sqlite ? ", written_by" : "") + ") VALUES (" + id + ", 'raw', '" +
                           kDigest + "', 'out', '  '" + (sqlite ? ", 'x'" : "") + ")"),
            "");
  const std::string outcome = "UPDATE " + writes +
                              " SET devices_written = 1, devices_failed = 0, ending = 'finished'" +
                              (sqlite ? ", ended_at = '2024-05-01T10:22:03Z'" : "");
  EXPECT_NE(m_place.RawSql(outcome + ", rerun_reason = 'forged'"), "");
  EXPECT_EQ(m_place.RawSql(outcome), "");
  EXPECT_EQ(opened.value()->Batches({}).value()[0].writes.at(0).rerunReason, "");
}

// A ledger of version 6 keeps its writes, none of which has a reason, and
// records a rerun's reason once upgraded.
TEST_P(LedgerSchemaTest, UpgradesFromTheSixthVersionWithItsWritesWithoutAReason) {
  ASSERT_TRUE(InitLedger(location(), 6));
  const bool sqlite = GetParam() == Backend::SQLite;
  ASSERT_EQ(
      m_place.RawSql("INSERT INTO " + m_place.Table("batches") +
                     " (first_mac, device_count, macs_per_device, station, lot" +
                     (sqlite ? ", recorded_by" : "") + ") VALUES (" + std::to_string(kVendor) +
                     ", 10, 1, 'line3-a', 'L-1'" + (sqlite ? ", 'old'" : "") + ")"),
      "");
  const std::string writes = m_place.Table("batch_writes");
  ASSERT_EQ(
      m_place.RawSql("INSERT INTO " + writes + " (batch_id, station, image_sha256, output_folder" +
                     (sqlite ? ", written_by" : "") + ") SELECT id, 'line3-a', '" + kDigest +
                     "', 'out'" + (sqlite ? ", 'old'" : "") + " FROM " + m_place.Table("batches")),
      "");
  ASSERT_EQ(m_place.RawSql("UPDATE " + writes +
                           " SET devices_written = 10, devices_failed = 0, ending = 'finished'" +
                           (sqlite ? ", ended_at = '2024-05-01T10:22:03Z'" : "")),
            "");

  Result<InitReport> upgraded = InitLedger(location());
  ASSERT_TRUE(upgraded) << upgraded.error().message;
  EXPECT_EQ(upgraded->versionBefore, 6);
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location());
  ASSERT_TRUE(opened) << opened.error().message;
  Ledger& ledger = *opened.value();
  const BatchDetails old = ledger.Batches({}).value().at(0);
  ASSERT_EQ(old.writes.size(), 1u);
  EXPECT_EQ(old.writes[0].rerunReason, "");
  EXPECT_EQ(old.writes[0].ending, Ending::Finished);
  EXPECT_TRUE(ledger.Check(Batch(kVendor, 10)));  // a plain rerun, as before

  BatchRequest rerun = Batch(kVendor, 10);
  rerun.outputFolder = "/srv/day2";
  rerun.rerunBatch = old.batch.id;
  rerun.rerunReason = "first folder's disk failed";
  ASSERT_TRUE(ledger.Reserve(rerun));
  const std::vector<WriteRecord> after = ledger.Batches({}).value().at(0).writes;
  ASSERT_EQ(after.size(), 2u);
  EXPECT_EQ(after[0].rerunReason, "");
  EXPECT_EQ(after[1].rerunReason, "first folder's disk failed");
  EXPECT_EQ(after[1].outputFolder, "/srv/day2");
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerSchemaTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

// A version table with a second row would leave the ledger's version to
// whoever reads it; an old ledger touched by hand keeps its highest.
TEST(PostgresLedgerSchema, TheVersionIsOneRow) {
  FreshLedgerPlace place(Backend::PostgreSQL);
  ASSERT_EQ(place.error(), "");
  ASSERT_TRUE(InitLedger(place.location(), 3));
  ASSERT_EQ(place.RawSql("INSERT INTO quillmark.schema_version VALUES (2), (3)"), "");
  Result<InitReport> upgraded = InitLedger(place.location());
  ASSERT_TRUE(upgraded) << upgraded.error().message;
  EXPECT_EQ(upgraded->versionBefore, 3);
  EXPECT_NE(place.RawSql("INSERT INTO quillmark.schema_version VALUES (" +
                         std::to_string(kLedgerSchemaVersion) + ")"),
            "");
  EXPECT_EQ(place.RawSql("DO $$ BEGIN IF (SELECT count(*) FROM quillmark.schema_version) <> 1"
                         " THEN RAISE 'rows'; END IF; END $$"),
            "");
  EXPECT_TRUE(OpenLedger(place.location()));
}

// Nothing stands to be locked in an empty database: two inits at once
// both end with the one ledger.
TEST(PostgresLedgerSchema, InitsAtOnceOfAnEmptyDatabaseBothSucceed) {
  for (int round = 0; round < 3; ++round) {
    FreshLedgerPlace place(Backend::PostgreSQL);
    ASSERT_EQ(place.error(), "");
    std::vector<Result<InitReport>> reports(4, Fault(LedgerFault::InvalidRequest, "not run"));
    std::vector<std::thread> inits;
    for (auto& report : reports) {
      inits.emplace_back(
          [&] { report = PostgresLedger::Init(place.location(), kLedgerSchemaVersion); });
    }
    for (std::thread& init : inits)
      init.join();
    int created = 0;
    for (const Result<InitReport>& report : reports) {
      ASSERT_TRUE(report) << report.error().message;
      created += report->versionBefore == 0 ? 1 : 0;
    }
    EXPECT_EQ(created, 1);
    EXPECT_TRUE(OpenLedger(place.location()));
  }
}

TEST(SqliteLedgerFile, AFileThatIsNotALedgerIsNeitherOpenedNorChanged) {
  ScratchDir dir;
  const std::string text = dir / "notes.txt";
  std::ofstream(text) << "not a database at all, but long enough to have a header......\n";
  EXPECT_EQ(OpenLedger(LedgerLocation{LedgerKind::SQLite, text}).error().fault,
            LedgerFault::NotALedger);
  EXPECT_EQ(InitLedger(LedgerLocation{LedgerKind::SQLite, text}).error().fault,
            LedgerFault::NotALedger);

  const std::string other = dir / "other.sqlite3";
  {
    Result<SqliteDatabase> db = SqliteDatabase::Open(other, true);
    ASSERT_TRUE(db);
    ASSERT_TRUE(db->Exec("CREATE TABLE things (x INTEGER)"));
  }
  const auto size = std::filesystem::file_size(other);
  Result<InitReport> init = InitLedger(LedgerLocation{LedgerKind::SQLite, other});
  ASSERT_FALSE(init);
  EXPECT_EQ(init.error().fault, LedgerFault::NotALedger);
  EXPECT_EQ(init.error().message, "该文件不是账本！" + other);
  EXPECT_EQ(std::filesystem::file_size(other), size);
  EXPECT_FALSE(std::filesystem::exists(other + "-wal"));
}

TEST(SqliteLedgerFile, InitMakesTheFoldersAndAWalFile) {
  ScratchDir dir;
  const LedgerLocation location{LedgerKind::SQLite, dir / "a/b/ledger.sqlite3"};
  ASSERT_TRUE(InitLedger(location));
  Result<SqliteDatabase> db = SqliteDatabase::Open(location.target, false);
  ASSERT_TRUE(db);
  Result<SqliteStatement> mode = db->Prepare("PRAGMA journal_mode");
  ASSERT_TRUE(mode);
  ASSERT_EQ(mode->Step(), SQLITE_ROW);
  EXPECT_EQ(mode->Text(0), "wal");
}

}  // namespace
}  // namespace quillmark::test
