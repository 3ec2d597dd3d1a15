// The roles a shared ledger ships with: each may do its part and no more.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ledger_fixture.h"
#include "pq_handle.h"
#include "schema_migrations.h"

namespace quillmark::test {
namespace {

using namespace ledger;

// What roles.sql granted by itself while the schema was at version 3,
// before init took the rights over.
constexpr const char* kVersion3Grants = R"sql(
  REVOKE ALL ON SCHEMA quillmark FROM PUBLIC;
  GRANT USAGE ON SCHEMA quillmark TO quillmark_station;
  GRANT SELECT ON ALL TABLES IN SCHEMA quillmark TO quillmark_station;
  GRANT INSERT (first_mac, device_count, macs_per_device, station, pool)
    ON quillmark.batches TO quillmark_station;
  GRANT INSERT (batch_id, station, image_sha256, output_folder)
    ON quillmark.batch_writes TO quillmark_station;
  GRANT UPDATE (devices_written, devices_failed, ending)
    ON quillmark.batch_writes TO quillmark_station;
  GRANT INSERT (name, macs) ON quillmark.pools TO quillmark_supervisor;
  GRANT INSERT (batch_id, reason) ON quillmark.voids TO quillmark_supervisor;
)sql";

class PostgresRolesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_place.error(), "");
    static int made = 0;
    const std::string suffix = std::to_string(::getpid()) + "_" + std::to_string(++made);
    m_station = "station_" + suffix;
    m_other = "other_station_" + suffix;
    m_supervisor = "supervisor_" + suffix;
    m_owner = "owner_" + suffix;
  }

  // The ledger at a version, its roles made by roles.sql and the logins
  // given them; then, as the administrator is told, init once more.
  void MakeLedger(int version = kLedgerSchemaVersion) {
    ASSERT_TRUE(InitLedger(m_place.location(), version));
    ASSERT_EQ(m_place.RawSql(std::string(PostgresRolesSql())), "");
    ASSERT_EQ(
        m_place.RawSql("CREATE ROLE " + m_station + " LOGIN IN ROLE quillmark_station;" +
                       "CREATE ROLE " + m_other + " LOGIN IN ROLE quillmark_station;" +
                       "CREATE ROLE " + m_supervisor + " LOGIN IN ROLE quillmark_supervisor;" +
                       "CREATE ROLE " + m_owner + " LOGIN IN ROLE quillmark_owner"),
        "");
    if (version == kLedgerSchemaVersion) {
      ASSERT_TRUE(InitLedger(As(m_owner)));
    }
  }

  // The same database as another user (a later keyword wins in libpq).
  LedgerLocation As(const std::string& user) const {
    return LedgerLocation{LedgerKind::PostgreSQL, m_place.location().target + " user=" + user};
  }
  std::unique_ptr<Ledger> OpenAs(const std::string& user) const {
    Result<std::unique_ptr<Ledger>> opened = OpenLedger(As(user));
    EXPECT_TRUE(opened) << opened.error().message;
    return opened ? std::move(opened.value()) : nullptr;
  }
  // The database's error for SQL run as the user, or "".
  std::string RunAs(const std::string& user, const std::string& sql) const {
    Result<PqConnection> db = PqConnection::Connect(As(user).target, user);
    if (!db)
      return db.error().message;
    Status done = db->Run(sql);
    return done ? "" : done.error().message;
  }

  // The first value of the last statement's rows, or the database's error.
  std::string ValueAs(const std::string& user, const std::string& sql) const {
    Result<PqConnection> db = PqConnection::Connect(As(user).target, user);
    if (!db)
      return db.error().message;
    Result<PqResult> rows = db->Exec(sql);
    if (!rows)
      return rows.error().message;
    return rows->Rows() > 0 ? rows->Text(0, 0) : "";
  }
  WriteRecord WriteOf(std::int64_t batchId) const {
    BatchFilter filter;
    filter.id = batchId;
    return OpenAs(m_owner)->Batches(filter).value().at(0).writes.at(0);
  }

  FreshLedgerPlace m_place{Backend::PostgreSQL};
  std::string m_station, m_other, m_supervisor, m_owner;
};

BatchRequest Batch(std::uint64_t first) {
  BatchRequest request;
  request.firstMac = first;
  request.deviceCount = 10;
  request.macsPerDevice = 1;
  request.station = "line3-a";
  request.imageSha256 = kDigest;
  request.outputFolder = "out";
  return request;
}

TEST_F(PostgresRolesTest, AStationRecordsBatchesAndTheirOutcomesOnly) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger());
  std::unique_ptr<Ledger> station = OpenAs(m_station);
  ASSERT_TRUE(station);
  Result<Reservation> reserved = station->Reserve(Batch(kVendor));
  ASSERT_TRUE(reserved) << reserved.error().message;
  EXPECT_TRUE(station->RecordOutcome(reserved->writeId, WriteOutcome{10, 0, false, true}));
  EXPECT_TRUE(station->Check(Batch(kVendor + 10)));
  const std::vector<BatchDetails> batches = station->Batches({}).value();
  EXPECT_EQ(batches[0].batch.recordedBy, m_station);  // filled in by the database
  EXPECT_EQ(batches[0].writes[0].writtenBy, m_station);

  EXPECT_EQ(station->Void(reserved->batchId, "no").error().fault, LedgerFault::Denied);
  EXPECT_EQ(station->AddPool("line3", MacRange{kVendor, 100}).error().fault, LedgerFault::Denied);
  for (const std::string sql : {
           "DELETE FROM quillmark.batches",
           "TRUNCATE quillmark.batch_writes",
           "UPDATE quillmark.batches SET station = 'x'",
           "INSERT INTO quillmark.batches (first_mac, device_count, macs_per_device, station,"
           " recorded_by) VALUES (1, 1, 1, 'x', 'someone else')",
           "INSERT INTO quillmark.voids (batch_id, reason) VALUES (1, 'x')",
           "UPDATE quillmark.batch_writes SET output_folder = 'x'",
           "ALTER TABLE quillmark.batches DROP CONSTRAINT batches_never_overlap",
           "CREATE TABLE quillmark.extra (x int)",
       }) {
    EXPECT_NE(RunAs(m_station, sql), "") << sql;
  }
}

TEST_F(PostgresRolesTest, ASupervisorAlsoAddsPoolsAndVoids) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger());
  std::unique_ptr<Ledger> supervisor = OpenAs(m_supervisor);
  ASSERT_TRUE(supervisor);
  ASSERT_TRUE(supervisor->AddPool("line3", MacRange{kVendor, 100}));
  Result<Reservation> reserved = supervisor->Reserve(Batch(kVendor));
  ASSERT_TRUE(reserved) << reserved.error().message;
  Result<BatchSummary> voided = supervisor->Void(reserved->batchId, "wrong image");
  ASSERT_TRUE(voided) << voided.error().message;
  EXPECT_EQ(voided->voidedBy, m_supervisor);
  EXPECT_NE(RunAs(m_supervisor, "DELETE FROM quillmark.voids"), "");
  EXPECT_NE(RunAs(m_supervisor, "COMMENT ON TABLE quillmark.batches IS 'x'"), "");
}

TEST_F(PostgresRolesTest, TheOwnerChangesTheSchemaButDeletesNothing) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger());
  ASSERT_TRUE(OpenAs(m_station)->Reserve(Batch(kVendor)));
  EXPECT_EQ(RunAs(m_owner, "COMMENT ON TABLE quillmark.batches IS 'line 3'"), "");
  Result<InitReport> init = InitLedger(As(m_owner));
  ASSERT_TRUE(init) << init.error().message;
  EXPECT_NE(RunAs(m_owner, "DELETE FROM quillmark.batches"), "");
  EXPECT_EQ(OpenAs(m_owner)->Batches({})->size(), 1u);
}

// An administrator upgrades a ledger whose rights roles.sql granted long
// ago, and runs nothing else: the stations go on as before.
TEST_F(PostgresRolesTest, AnUpgradedLedgerWorksForTheStationsWithNothingRunByHand) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger(3));
  ASSERT_EQ(m_place.RawSql(kVersion3Grants), "");
  Result<InitReport> upgraded = InitLedger(As(m_owner));
  ASSERT_TRUE(upgraded) << upgraded.error().message;
  EXPECT_EQ(upgraded->versionBefore, 3);

  std::unique_ptr<Ledger> supervisor = OpenAs(m_supervisor);
  ASSERT_TRUE(supervisor);
  ASSERT_TRUE(supervisor->AddPool("line3", MacRange{kVendor, 100}));
  std::unique_ptr<Ledger> station = OpenAs(m_station);
  ASSERT_TRUE(station);
  BatchRequest next = Batch(0);
  next.firstMac.reset();
  next.pool = "line3";
  next.lot = "L-0412";  // a column the station is granted by the upgrade
  Result<Reservation> reserved = station->Reserve(next);
  ASSERT_TRUE(reserved) << reserved.error().message;
  EXPECT_EQ(reserved->macs.first, kVendor);
  EXPECT_TRUE(station->RecordOutcome(reserved->writeId, WriteOutcome{10, 0, false, true}));
  Result<Reservation> planned = station->Check(next);
  ASSERT_TRUE(planned) << planned.error().message;
  EXPECT_EQ(planned->macs.first, kVendor + 10);
  EXPECT_EQ(station->Batches({})->size(), 1u);
  EXPECT_TRUE(supervisor->Void(reserved->batchId, "test"));
  // What version 3 let a station do that this one does not.
  EXPECT_NE(RunAs(m_station, "UPDATE quillmark.batch_writes SET devices_failed = 0"), "");
}

// A station records how its own writes ended, and cannot touch another's.
TEST_F(PostgresRolesTest, AStationRecordsTheOutcomeOfItsOwnWritesOnly) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger());
  std::unique_ptr<Ledger> st1 = OpenAs(m_station);
  std::unique_ptr<Ledger> st2 = OpenAs(m_other);
  ASSERT_TRUE(st1 && st2);
  const Reservation mine = st1->Reserve(Batch(kVendor)).value();
  const Reservation theirs = st2->Reserve(Batch(kVendor + 10)).value();
  const std::string id = std::to_string(theirs.writeId);

  EXPECT_NE(RunAs(m_station,
                  "UPDATE quillmark.batch_writes SET devices_written = 300,"
                  " devices_failed = 0, ending = 'finished' WHERE id = " +
                      id),
            "");
  EXPECT_EQ(
      ValueAs(m_station, "SELECT quillmark.record_write_outcome(" + id + ", 300, 0, 'finished')"),
      "f");
  Result<Done> forged = st1->RecordOutcome(theirs.writeId, WriteOutcome{300, 0, false, true});
  ASSERT_FALSE(forged);
  EXPECT_EQ(forged.error().fault, LedgerFault::NoSuchBatch);
  EXPECT_EQ(WriteOf(theirs.batchId).ending, Ending::None);

  ASSERT_TRUE(st1->RecordOutcome(mine.writeId, WriteOutcome{10, 0, false, true}));
  const WriteRecord own = WriteOf(mine.batchId);
  EXPECT_EQ(own.ending, Ending::Finished);
  EXPECT_EQ(own.devicesWritten, 10);
  ASSERT_TRUE(st2->RecordOutcome(theirs.writeId, WriteOutcome{4, 1, true, false}));
  EXPECT_EQ(WriteOf(theirs.batchId).ending, Ending::Stopped);
  EXPECT_EQ(WriteOf(theirs.batchId).devicesWritten, 4);
}

// On a ledger upgraded from version 6, a station records why it writes a
// batch again with its write, and neither it nor the owner changes that
// afterwards, not even through the outcome's function.
TEST_F(PostgresRolesTest, AStationGivesARerunsReasonWithItsWriteAndNeverChangesIt) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger(6));
  ASSERT_TRUE(InitLedger(As(m_owner)));
  std::unique_ptr<Ledger> station = OpenAs(m_station);
  ASSERT_TRUE(station);
  const Reservation first = station->Reserve(Batch(kVendor)).value();
  ASSERT_TRUE(station->RecordOutcome(first.writeId, WriteOutcome{10, 0, false, true}));
  BatchRequest again = Batch(kVendor);
  again.outputFolder = "/srv/day2";
  again.rerunBatch = first.batchId;
  again.rerunReason = "disk of the first folder failed";
  Result<Reservation> rerun = station->Reserve(again);
  ASSERT_TRUE(rerun) << rerun.error().message;
  const std::string id = std::to_string(rerun->writeId);

  // With the outcome, which alone may change once.
  for (const std::string& user : {m_station, m_owner}) {
    EXPECT_NE(RunAs(user,
                    "UPDATE quillmark.batch_writes SET devices_written = 10, devices_failed = 0,"
                    " ending = 'finished', rerun_reason = 'forged' WHERE id = " +
                        id),
              "")
        << user;
  }
  EXPECT_EQ(
      ValueAs(m_station, "SELECT quillmark.record_write_outcome(" + id + ", 10, 0, 'finished')"),
      "t");
  BatchFilter filter;
  filter.id = first.batchId;
  const std::vector<WriteRecord> writes = OpenAs(m_owner)->Batches(filter).value().at(0).writes;
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0].rerunReason, "");
  EXPECT_EQ(writes[1].rerunReason, "disk of the first folder failed");
  EXPECT_EQ(writes[1].writtenBy, m_station);
  EXPECT_EQ(writes[1].ending, Ending::Finished);
}

// The ledger's lock is taken only through its function, and only for the
// transaction that asked: no station can lock the table that is the lock.
TEST_F(PostgresRolesTest, AStationTakesTheLedgersLockOnlyThroughItsFunction) {
  ASSERT_NO_FATAL_FAILURE(MakeLedger());
  for (const char* mode : {"ROW SHARE", "ROW EXCLUSIVE", "SHARE UPDATE EXCLUSIVE", "SHARE",
                           "SHARE ROW EXCLUSIVE", "EXCLUSIVE", "ACCESS EXCLUSIVE"}) {
    EXPECT_NE(RunAs(m_station, std::string("BEGIN; LOCK TABLE quillmark.ledger_lock IN ") + mode +
                                   " MODE; COMMIT"),
              "")
        << mode;
  }
  EXPECT_NE(RunAs(m_station, "SELECT FROM quillmark.ledger_lock FOR UPDATE"), "");
  EXPECT_EQ(ValueAs(m_station,
                    "BEGIN; SELECT quillmark.take_ledger_lock();"
                    " SHOW idle_in_transaction_session_timeout"),
            "1min");
}

}  // namespace
}  // namespace quillmark::test
