#include "ledger_fixture.h"

#include "postgres_server.h"
#include "pq_handle.h"
#include "sqlite_handle.h"

namespace quillmark::test {

using namespace ledger;

std::string BackendName(const testing::TestParamInfo<Backend>& info) {
  return info.param == Backend::SQLite ? "SQLite" : "PostgreSQL";
}

void PrintTo(Backend backend, std::ostream* out) {
  *out << (backend == Backend::SQLite ? "SQLite" : "PostgreSQL");
}

FreshLedgerPlace::FreshLedgerPlace(Backend backend) : m_backend(backend) {
  if (backend == Backend::SQLite) {
    m_location = LedgerLocation{LedgerKind::SQLite, m_dir / "ledger.sqlite3"};
    return;
  }
  PostgresServer& server = SharedPostgresServer();
  if (!server.running()) {
    m_error = server.error();
    return;
  }
  m_database = server.CreateDatabase();
  if (m_database.empty())
    m_error = server.error();
  m_location = LedgerLocation{LedgerKind::PostgreSQL, server.ConnectionString(m_database)};
}

FreshLedgerPlace::~FreshLedgerPlace() {
  if (!m_database.empty())
    SharedPostgresServer().Execute("postgres", "DROP DATABASE " + m_database + " WITH (FORCE)");
}

std::string FreshLedgerPlace::RawSql(const std::string& sql) const {
  if (m_backend == Backend::SQLite) {
    Result<SqliteDatabase> db = SqliteDatabase::Open(m_location.target, false);
    if (!db)
      return db.error().message;
    Status done = db->Exec(sql);
    return done ? "" : done.error().message;
  }
  Result<PqConnection> db = PqConnection::Connect(m_location.target, "test");
  if (!db)
    return db.error().message;
  Status done = db->Run(sql);
  return done ? "" : done.error().message;
}

std::string FreshLedgerPlace::Table(const std::string& name) const {
  return m_backend == Backend::SQLite ? name : "quillmark." + name;
}

std::string FreshLedgerPlace::FreeRangesDisagree() const {
  const std::string kept = "SELECT first_mac, end_mac FROM " + Table("free_ranges");
  const std::string fresh = "SELECT first_mac, end_mac FROM " + Table("pool_gaps");
  // A check that fails on the first row that is in one and not the other.
  return RawSql(
      "CREATE TEMP TABLE free_ranges_agree (differing INTEGER CHECK (differing = 0));"
      " INSERT INTO free_ranges_agree SELECT (SELECT count(*) FROM (" +
      kept + " EXCEPT " + fresh + ") AS a) + (SELECT count(*) FROM (" + fresh + " EXCEPT " + kept +
      ") AS b)");
}

void LedgerTest::SetUp() {
  m_place = std::make_unique<FreshLedgerPlace>(GetParam());
  ASSERT_EQ(m_place->error(), "");
  Result<InitReport> init = InitLedger(m_place->location());
  ASSERT_TRUE(init) << init.error().message;
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place->location());
  ASSERT_TRUE(opened) << opened.error().message;
  m_ledger = std::move(opened.value());
}

BatchRequest LedgerTest::Request(std::uint64_t first, std::int32_t count, std::int32_t n) {
  BatchRequest request;
  request.firstMac = first;
  request.deviceCount = count;
  request.macsPerDevice = n;
  request.station = "line3-a";
  request.imageSha256 = kDigest;
  request.outputFolder = "/srv/line3/lot-0412";
  return request;
}

BatchRequest LedgerTest::NextRequest(const std::string& pool, std::int32_t count, std::int32_t n) {
  BatchRequest request = Request(0, count, n);
  request.firstMac.reset();
  request.pool = pool;
  return request;
}

Reservation LedgerTest::Reserve(const BatchRequest& request) {
  Result<Reservation> reserved = m_ledger->Reserve(request);
  EXPECT_TRUE(reserved) << reserved.error().message;
  return reserved ? reserved.value() : Reservation{};
}

Pool LedgerTest::AddPool(const std::string& name, std::uint64_t first, std::uint64_t count) {
  Result<Pool> pool = m_ledger->AddPool(name, MacRange{first, count});
  EXPECT_TRUE(pool) << pool.error().message;
  return pool ? pool.value() : Pool{};
}

std::vector<BatchDetails> LedgerTest::AllBatches() {
  Result<std::vector<BatchDetails>> batches = m_ledger->Batches({});
  EXPECT_TRUE(batches) << batches.error().message;
  return batches ? batches.value() : std::vector<BatchDetails>{};
}

}  // namespace quillmark::test
