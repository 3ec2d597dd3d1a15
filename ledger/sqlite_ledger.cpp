#include "sqlite_ledger.h"

#include <filesystem>
#include <vector>

#include "ledger_rules.h"
#include "ledger_system.h"
#include "ledger_texts.h"
#include "schema_migrations.h"
#include "sqlite_access.h"
#include "sqlite_store.h"

namespace quillmark::ledger {
namespace {

constexpr std::int64_t kApplicationId = 0x514c444b;  // "QLDK", set by the first migration

// The transaction a call runs in, rolled back unless committed.
class Transaction {
 public:
  static Result<Transaction> Begin(SqliteDatabase& db, bool write) {
    // IMMEDIATE takes the write lock at once (waiting out the busy
    // timeout): a deferred transaction that later writes can fail without
    // waiting, and would decide on a stale view.
    if (Status begun = db.Exec(write ? "BEGIN IMMEDIATE" : "BEGIN"); !begun)
      return begun.error();
    return Transaction(db);
  }
  Transaction(Transaction&& other) noexcept : m_db(std::exchange(other.m_db, nullptr)) {}
  Transaction& operator=(Transaction&&) = delete;
  ~Transaction() {
    if (m_db != nullptr)
      (void)m_db->Exec("ROLLBACK");
  }
  Status Commit() {
    Status committed = m_db->Exec("COMMIT");
    if (committed)
      m_db = nullptr;
    return committed;
  }

 private:
  explicit Transaction(SqliteDatabase& db) : m_db(&db) {}
  SqliteDatabase* m_db;
};

// Runs body in a transaction and commits what it returns.
template <class T, class Body>
Result<T> InTransaction(SqliteDatabase& db, bool write, Body body) {
  Result<Transaction> transaction = Transaction::Begin(db, write);
  if (!transaction)
    return transaction.error();
  Result<T> result = body();
  if (!result)
    return result;
  if (Status committed = transaction->Commit(); !committed)
    return committed.error();
  return result;
}

Status ApplyMigrations(SqliteDatabase& db, int from, int to) {
  for (const Migration& migration : SqliteMigrations()) {
    if (migration.version <= from || migration.version > to)
      continue;
    if (Status applied = db.Exec(std::string(migration.sql)); !applied)
      return applied.error();
    if (Status recorded = db.Exec("PRAGMA user_version = " + std::to_string(migration.version));
        !recorded)
      return recorded.error();
  }
  return Done{};
}

}  // namespace

Result<int> SqliteSchemaVersion(SqliteDatabase& db) {
  Result<std::optional<std::int64_t>> application = db.QueryInt("PRAGMA application_id");
  Result<std::optional<std::int64_t>> objects = db.QueryInt("SELECT count(*) FROM sqlite_master");
  Result<std::optional<std::int64_t>> version = db.QueryInt("PRAGMA user_version");
  for (const auto* read : {&application, &objects, &version}) {
    if (!*read)
      return read->error();
  }
  if (application.value().value_or(0) == 0 && objects.value().value_or(0) == 0)
    return 0;
  if (application.value().value_or(0) != kApplicationId)
    return NotALedgerError(db.path());
  return static_cast<int>(version.value().value_or(0));
}

SqliteLedger::SqliteLedger(SqliteDatabase db) : m_db(std::move(db)), m_user(SystemUserName()) {}

Result<std::unique_ptr<Ledger>> SqliteLedger::Open(const std::string& path, bool readOnly) {
  if (std::optional<LedgerError> problem = SqliteAccessProblem(path, !readOnly))
    return *problem;
  Result<SqliteDatabase> db = SqliteDatabase::Open(path, false, readOnly);
  if (!db)
    return db.error();
  Result<int> version = SqliteSchemaVersion(db.value());
  if (!version)
    return version.error();
  if (version.value() == 0)
    return NotInitializedError(path);
  if (version.value() < kLedgerSchemaVersion)
    return SchemaOutdatedError(path);
  if (version.value() > kLedgerSchemaVersion)
    return SchemaTooNewError(path, version.value());
  return std::unique_ptr<Ledger>(new SqliteLedger(std::move(db.value())));
}

Result<InitReport> SqliteLedger::Init(const std::string& path, int targetVersion) {
  std::error_code ignored;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), ignored);
  Result<SqliteDatabase> db = SqliteDatabase::Open(path, true);
  if (!db)
    return db.error();
  // Read before anything is changed, so a file that is not a ledger stays
  // as it was.
  if (Result<int> version = SqliteSchemaVersion(db.value()); !version)
    return version.error();
  if (Status wal = db->Exec("PRAGMA journal_mode = WAL"); !wal)
    return wal.error();
  return InTransaction<InitReport>(db.value(), true, [&]() -> Result<InitReport> {
    Result<int> version = SqliteSchemaVersion(db.value());
    if (!version)
      return version.error();
    if (version.value() > kLedgerSchemaVersion)
      return SchemaTooNewError(path, version.value());
    if (Status applied = ApplyMigrations(db.value(), version.value(), targetVersion); !applied)
      return applied.error();
    return InitReport{version.value(), std::max(version.value(), targetVersion)};
  });
}

Result<Reservation> SqliteLedger::Reserve(const BatchRequest& request) {
  if (std::optional<LedgerError> invalid = ValidateRequest(request))
    return *invalid;
  return PlanAgainWhileTaken([&] {
    return InTransaction<Reservation>(m_db, true, [&] {
      SqliteRuleStore store(m_db, m_user);
      return ApplyReservation(store, request, true);
    });
  });
}

Result<Reservation> SqliteLedger::Check(const BatchRequest& request) {
  return PlanAgainWhileTaken([&]() -> Result<Reservation> {
    Result<Transaction> transaction = Transaction::Begin(m_db, false);
    if (!transaction)
      return transaction.error();
    SqliteRuleStore store(m_db, m_user);
    return ApplyReservation(store, request, false);  // rolled back: nothing changes
  });
}

Status SqliteLedger::RecordOutcome(std::int64_t writeId, const WriteOutcome& outcome) {
  const Ending ending = outcome.finished  ? Ending::Finished
                        : outcome.stopped ? Ending::Stopped
                                          : Ending::Failed;
  return InTransaction<Done>(m_db, true, [&]() -> Status {
    Result<SqliteStatement> statement = m_db.Prepare(
        "UPDATE batch_writes SET devices_written = :written, devices_failed = :failed,"
        " ending = :ending, ended_at = strftime('%Y-%m-%dT%H:%M:%SZ', 'now')"
        " WHERE id = :id AND ending IS NULL");
    if (!statement)
      return statement.error();
    statement->Bind(":written", std::int64_t(outcome.devicesWritten))
        .Bind(":failed", std::int64_t(outcome.devicesFailed))
        .Bind(":ending", std::string(EndingName(ending)))
        .Bind(":id", writeId);
    if (Status ran = m_db.Run(statement.value()); !ran)
      return ran.error();
    if (m_db.Changes() != 1)
      return NoUnfinishedWriteError(writeId);
    return Done{};
  });
}

Result<Pool> SqliteLedger::AddPool(const std::string& name, const MacRange& macs) {
  return InTransaction<Pool>(m_db, true, [&] {
    SqliteRuleStore store(m_db, m_user);
    return ApplyAddPool(store, name, macs);
  });
}

Result<Series> SqliteLedger::AddSeries(const std::string& name, const std::string& templateText,
                                       std::optional<std::uint64_t> first) {
  return InTransaction<Series>(m_db, true, [&] {
    SqliteRuleStore store(m_db, m_user);
    return ApplyAddSeries(store, name, templateText, first);
  });
}

Result<std::vector<Series>> SqliteLedger::SeriesList() {
  return InTransaction<std::vector<Series>>(
      m_db, false, [&] { return SqliteRuleStore(m_db, m_user).AllSeries(); });
}

Result<BatchSummary> SqliteLedger::Void(std::int64_t batchId, const std::string& reason) {
  return InTransaction<BatchSummary>(m_db, true, [&] {
    SqliteRuleStore store(m_db, m_user);
    return ApplyVoid(store, batchId, reason);
  });
}

Result<std::vector<Pool>> SqliteLedger::Pools() {
  return InTransaction<std::vector<Pool>>(m_db, false,
                                          [&] { return SqliteRuleStore(m_db, m_user).AllPools(); });
}

Result<std::vector<BatchDetails>> SqliteLedger::Batches(const BatchFilter& filter) {
  if (std::optional<LedgerError> invalid = ValidateFilter(filter))
    return *invalid;
  return InTransaction<std::vector<BatchDetails>>(
      m_db, false, [&] { return SqliteRuleStore(m_db, m_user).Batches(filter); });
}

}  // namespace quillmark::ledger
