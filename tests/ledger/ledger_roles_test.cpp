// The roles a shared ledger ships with: each may do its part and no more.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ledger_fixture.h"
#include "pq_handle.h"
#include "schema_migrations.h"

namespace quillmark::test {
namespace {

using namespace ledger;

class PostgresRolesTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_place.error(), "");
    ASSERT_TRUE(InitLedger(m_place.location()));
    ASSERT_EQ(m_place.RawSql(std::string(PostgresRolesSql())), "");
    static int made = 0;
    const std::string suffix = std::to_string(::getpid()) + "_" + std::to_string(++made);
    m_station = "station_" + suffix;
    m_supervisor = "supervisor_" + suffix;
    m_owner = "owner_" + suffix;
    ASSERT_EQ(m_place.RawSql("CREATE ROLE " + m_station +
                             " LOGIN IN ROLE quillmark_station;"
                             "CREATE ROLE " +
                             m_supervisor +
                             " LOGIN IN ROLE quillmark_supervisor;"
                             "CREATE ROLE " +
                             m_owner + " LOGIN IN ROLE quillmark_owner"),
              "");
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

  FreshLedgerPlace m_place{Backend::PostgreSQL};
  std::string m_station, m_supervisor, m_owner;
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
  ASSERT_TRUE(OpenAs(m_station)->Reserve(Batch(kVendor)));
  EXPECT_EQ(RunAs(m_owner, "COMMENT ON TABLE quillmark.batches IS 'line 3'"), "");
  Result<InitReport> init = InitLedger(As(m_owner));
  ASSERT_TRUE(init) << init.error().message;
  EXPECT_NE(RunAs(m_owner, "DELETE FROM quillmark.batches"), "");
  EXPECT_EQ(OpenAs(m_owner)->Batches({})->size(), 1u);
}

}  // namespace
}  // namespace quillmark::test
