#include "postgres_ledger.h"

#include <chrono>
#include <random>
#include <thread>

#include "ledger_rules.h"
#include "ledger_texts.h"
#include "postgres_store.h"
#include "schema_migrations.h"

namespace quillmark::ledger {
namespace {

// Taken first by every transaction that writes: one ledger, one writer at
// a time. The lock is the schema's own function, which the triggers that
// keep the free ranges take too.
constexpr std::string_view kTakeLedgerLock = "SELECT quillmark.take_ledger_lock()";
// The next free range of one pool needs only that pool kept still: its
// free ranges and batches are nobody else's (pools never overlap).
constexpr std::string_view kTakePoolLock = "SELECT quillmark.take_pool_lock($1)";
// An upgrade takes the same lock where the schema has it; an older schema
// is locked by its version table, so that two upgrades queue. Nothing
// stands to be locked in an empty database.
constexpr std::string_view kTakeUpgradeLock = R"sql(
  DO $$
  BEGIN
    IF to_regprocedure('quillmark.take_ledger_lock()') IS NOT NULL THEN
      PERFORM quillmark.take_ledger_lock();
    ELSIF to_regclass('quillmark.schema_version') IS NOT NULL THEN
      LOCK TABLE quillmark.schema_version IN EXCLUSIVE MODE;
    END IF;
  END
  $$)sql";
// The version a migration brings the ledger to, in the one row there is.
constexpr std::string_view kRecordVersion =
    "WITH updated AS (UPDATE quillmark.schema_version SET version = $1::int RETURNING 1)"
    " INSERT INTO quillmark.schema_version (version) SELECT $1::int"
    " WHERE NOT EXISTS (SELECT FROM updated)";
constexpr int kAttempts = 10;

void PauseBeforeRetry(int attempt) {
  thread_local std::minstd_rand random(std::random_device{}());
  const int most = 5 * attempt;
  std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % most));
}

LedgerError Outdated(const LedgerLocation& location, int version) {
  if (version == 0)
    return NotInitializedError(location.Display());
  if (version > kLedgerSchemaVersion)
    return SchemaTooNewError(location.Display(), version);
  return SchemaOutdatedError(location.Display());
}

// Once roles.sql gave the schema to its owner role, an upgrade by a member
// of that role makes its objects as that role, so they belong to it too.
constexpr std::string_view kBecomeOwnerIfMember = R"sql(
  DO $$
  BEGIN
    IF EXISTS (SELECT FROM pg_namespace n JOIN pg_roles r ON r.oid = n.nspowner
               WHERE n.nspname = 'quillmark' AND r.rolname = 'quillmark_owner') THEN
      IF pg_has_role(current_user, 'quillmark_owner', 'MEMBER') THEN
        SET LOCAL ROLE quillmark_owner;
      END IF;
    END IF;
  END
  $$)sql";

std::string_view BeginText(PostgresLedger::Access access) {
  switch (access) {
    case PostgresLedger::Access::Read:
      return "BEGIN READ ONLY";
    case PostgresLedger::Access::Snapshot:
      return "BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY";
    case PostgresLedger::Access::Write:
    case PostgresLedger::Access::OwnRow:
    case PostgresLedger::Access::Upgrade:
      break;
  }
  return "BEGIN";
}

}  // namespace

Result<int> PostgresSchemaVersion(PqConnection& db) {
  Result<PqResult> rows = db.Exec("SELECT to_regclass('quillmark.schema_version') IS NOT NULL");
  if (!rows)
    return rows.error();
  if (!rows->Bool(0, 0))
    return 0;
  Result<PqResult> version = db.Exec("SELECT max(version) FROM quillmark.schema_version");
  if (!version)
    return version.error();
  return static_cast<int>(version->Int64(0, 0));
}

template <class T, class Body>
Result<T> PostgresLedger::InTransaction(Access access, Body body, const std::string& pool) {
  for (int attempt = 1;; ++attempt) {
    if (m_db.Lost()) {
      if (Status back = m_db.Reconnect(); !back)
        return back.error();
    }
    // A writer's own row is one statement, a transaction of its own: it
    // commits as it is sent, so it is never sent twice.
    const bool oneStatement = access == Access::OwnRow;
    bool commitSent = oneStatement;
    Result<T> result = [&]() -> Result<T> {
      if (!oneStatement) {
        if (Status begun = m_db.Run(BeginText(access)); !begun)
          return begun.error();
      }
      Status locked = Done{};
      if (access == Access::Write && !pool.empty())
        locked = m_db.Run(kTakePoolLock, {pool});
      else if (access == Access::Write)
        locked = m_db.Run(kTakeLedgerLock);
      else if (access == Access::Upgrade)
        locked = m_db.Run(kTakeUpgradeLock);
      if (!locked)
        return locked.error();
      Result<T> done = body();
      if (!done || oneStatement)
        return done;
      commitSent = true;
      if (Status committed = m_db.Run("COMMIT"); !committed)
        return committed.error();
      return done;
    }();
    if (result)
      return result;
    if (!m_db.Lost() && !oneStatement)
      (void)m_db.Run("ROLLBACK");
    // Nothing was committed unless COMMIT went out: then it is safe to run
    // the transaction again, on a new connection if the old one broke.
    const bool again = IsRetryable(result.error()) || (m_db.Lost() && !commitSent);
    if (!again || attempt == kAttempts)
      return result;
    PauseBeforeRetry(attempt);
  }
}

Result<std::unique_ptr<Ledger>> PostgresLedger::Open(const LedgerLocation& location) {
  Result<PqConnection> connection = PqConnection::Connect(location.target, location.Display());
  if (!connection)
    return connection.error();
  Result<int> version = PostgresSchemaVersion(connection.value());
  if (!version)
    return version.error();
  if (version.value() != kLedgerSchemaVersion)
    return Outdated(location, version.value());
  return std::unique_ptr<Ledger>(new PostgresLedger(std::move(connection.value())));
}

Result<InitReport> PostgresLedger::Init(const LedgerLocation& location, int targetVersion) {
  Result<PqConnection> connection = PqConnection::Connect(location.target, location.Display());
  if (!connection)
    return connection.error();
  PostgresLedger ledger(std::move(connection.value()));
  for (int attempt = 1;; ++attempt) {
    bool creating = false;
    Result<InitReport> report =
        ledger.InTransaction<InitReport>(Access::Upgrade, [&]() -> Result<InitReport> {
          Result<int> version = PostgresSchemaVersion(ledger.m_db);
          if (!version)
            return version.error();
          if (version.value() > kLedgerSchemaVersion)
            return Outdated(location, version.value());
          creating = version.value() == 0;
          if (Status owner = ledger.m_db.Run(kBecomeOwnerIfMember); !owner)
            return owner.error();
          for (const Migration& migration : PostgresMigrations()) {
            if (migration.version <= version.value() || migration.version > targetVersion)
              continue;
            if (Status applied = ledger.m_db.Run(migration.sql); !applied)
              return applied.error();
            if (Status recorded =
                    ledger.m_db.Run(kRecordVersion, {std::to_string(migration.version)});
                !recorded)
              return recorded.error();
          }
          // The roles' rights follow the schema; an older schema than the
          // program's (a test's) keeps what it had.
          if (targetVersion == kLedgerSchemaVersion) {
            if (Status granted = ledger.m_db.Run(PostgresGrantsSql()); !granted)
              return granted.error();
          }
          return InitReport{version.value(), std::max(version.value(), targetVersion)};
        });
    // Two inits of an empty database: nothing stood to be locked, so the
    // later one met the schema the other made. Once more, it finds it.
    if (report || !creating || attempt == 2 || !IsDuplicateObject(report.error()))
      return report;
  }
}

Result<Reservation> PostgresLedger::Reserve(const BatchRequest& request) {
  if (std::optional<LedgerError> invalid = ValidateRequest(request))
    return *invalid;
  return PlanAgainWhileTaken([&] {
    return InTransaction<Reservation>(
        Access::Write,
        [&] {
          PostgresRuleStore store(m_db);
          return ApplyReservation(store, request, true);
        },
        // A series is shared by every pool: a batch that takes serials
        // holds the ledger-wide lock, so no two pools draw the same number.
        request.series.empty() ? request.pool : std::string());
  });
}

Result<Reservation> PostgresLedger::Check(const BatchRequest& request) {
  // One snapshot: read statement by statement, the next free range and
  // the batches in its way could come from different moments.
  return PlanAgainWhileTaken([&] {
    return InTransaction<Reservation>(Access::Snapshot, [&] {
      PostgresRuleStore store(m_db);
      return ApplyReservation(store, request, false);
    });
  });
}

Status PostgresLedger::RecordOutcome(std::int64_t writeId, const WriteOutcome& outcome) {
  const Ending ending = outcome.finished  ? Ending::Finished
                        : outcome.stopped ? Ending::Stopped
                                          : Ending::Failed;
  // The writer's own row, in one statement: nothing another station reads
  // to choose a range, so no lock that would queue behind reservations.
  return InTransaction<Done>(Access::OwnRow, [&]() -> Status {
    // Through the ledger's function, which takes only the writer's own
    // write that has not ended.
    Result<PqResult> recorded =
        m_db.Exec("SELECT quillmark.record_write_outcome($1::bigint, $2::int, $3::int, $4::text)",
                  {std::to_string(writeId), std::to_string(outcome.devicesWritten),
                   std::to_string(outcome.devicesFailed), std::string(EndingName(ending))});
    if (!recorded)
      return recorded.error();
    if (!recorded->Bool(0, 0))
      return NoUnfinishedWriteError(writeId);
    return Done{};
  });
}

Result<Pool> PostgresLedger::AddPool(const std::string& name, const MacRange& macs) {
  return InTransaction<Pool>(Access::Write, [&] {
    PostgresRuleStore store(m_db);
    return ApplyAddPool(store, name, macs);
  });
}

Result<std::vector<Pool>> PostgresLedger::Pools() {
  return InTransaction<std::vector<Pool>>(Access::Read,
                                          [&] { return PostgresRuleStore(m_db).AllPools(); });
}

Result<Series> PostgresLedger::AddSeries(const std::string& name, const std::string& templateText,
                                         std::optional<std::uint64_t> first) {
  return InTransaction<Series>(Access::Write, [&] {
    PostgresRuleStore store(m_db);
    return ApplyAddSeries(store, name, templateText, first);
  });
}

Result<std::vector<Series>> PostgresLedger::SeriesList() {
  return InTransaction<std::vector<Series>>(Access::Read,
                                            [&] { return PostgresRuleStore(m_db).AllSeries(); });
}

Result<std::vector<BatchDetails>> PostgresLedger::Batches(const BatchFilter& filter) {
  if (std::optional<LedgerError> invalid = ValidateFilter(filter))
    return *invalid;
  // One snapshot for both reads, so writes match their batches.
  return InTransaction<std::vector<BatchDetails>>(
      Access::Snapshot, [&] { return PostgresRuleStore(m_db).Batches(filter); });
}

Result<BatchSummary> PostgresLedger::Void(std::int64_t batchId, const std::string& reason) {
  return InTransaction<BatchSummary>(Access::Write, [&] {
    PostgresRuleStore store(m_db);
    return ApplyVoid(store, batchId, reason);
  });
}

}  // namespace quillmark::ledger
