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
// a time. It needs no privilege on any table.
constexpr std::string_view kTakeLedgerLock = "SELECT pg_advisory_xact_lock(5859446373573633)";
constexpr int kAttempts = 10;

void PauseBeforeRetry(int attempt) {
  thread_local std::minstd_rand random(std::random_device{}());
  const int most = 5 * attempt;
  std::this_thread::sleep_for(std::chrono::milliseconds(1 + random() % most));
}

LedgerError Outdated(const LedgerLocation& location, int version) {
  if (version == 0) {
    return Fault(LedgerFault::NotInitialized, NotInitializedText(location.Display()));
  }
  if (version > kLedgerSchemaVersion) {
    return Fault(LedgerFault::SchemaTooNew, SchemaTooNewText(location.Display(), version));
  }
  return Fault(LedgerFault::SchemaOutdated, SchemaOutdatedText(location.Display()));
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
Result<T> PostgresLedger::InTransaction(bool write, Body body) {
  for (int attempt = 1;; ++attempt) {
    if (m_db.Lost()) {
      if (Status back = m_db.Reconnect(); !back)
        return back.error();
    }
    bool commitSent = false;
    Result<T> result = [&]() -> Result<T> {
      if (Status begun = m_db.Run(write ? "BEGIN" : "BEGIN READ ONLY"); !begun)
        return begun.error();
      if (write) {
        if (Status locked = m_db.Run(kTakeLedgerLock); !locked)
          return locked.error();
      }
      Result<T> done = body();
      if (!done)
        return done;
      commitSent = true;
      if (Status committed = m_db.Run("COMMIT"); !committed)
        return committed.error();
      return done;
    }();
    if (result)
      return result;
    if (!m_db.Lost())
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
  return ledger.InTransaction<InitReport>(true, [&]() -> Result<InitReport> {
    Result<int> version = PostgresSchemaVersion(ledger.m_db);
    if (!version)
      return version.error();
    if (version.value() > kLedgerSchemaVersion)
      return Outdated(location, version.value());
    if (Status owner = ledger.m_db.Run(kBecomeOwnerIfMember); !owner)
      return owner.error();
    for (const Migration& migration : PostgresMigrations()) {
      if (migration.version <= version.value() || migration.version > targetVersion)
        continue;
      if (Status applied = ledger.m_db.Run(migration.sql); !applied)
        return applied.error();
    }
    return InitReport{version.value(), std::max(version.value(), targetVersion)};
  });
}

Result<Reservation> PostgresLedger::Reserve(const BatchRequest& request) {
  if (std::optional<LedgerError> invalid = ValidateRequest(request))
    return *invalid;
  return InTransaction<Reservation>(true, [&] {
    PostgresRuleStore store(m_db);
    return ApplyReservation(store, request, true);
  });
}

Result<Reservation> PostgresLedger::Check(const BatchRequest& request) {
  return InTransaction<Reservation>(false, [&] {
    PostgresRuleStore store(m_db);
    return ApplyReservation(store, request, false);
  });
}

Status PostgresLedger::RecordOutcome(std::int64_t writeId, const WriteOutcome& outcome) {
  const Ending ending = outcome.finished  ? Ending::Finished
                        : outcome.stopped ? Ending::Stopped
                                          : Ending::Failed;
  return InTransaction<Done>(true, [&]() -> Status {
    Result<PqResult> updated = m_db.Exec(
        "UPDATE quillmark.batch_writes SET devices_written = $2, devices_failed = $3, ending = $4"
        " WHERE id = $1 AND ending IS NULL",
        {std::to_string(writeId), std::to_string(outcome.devicesWritten),
         std::to_string(outcome.devicesFailed), std::string(EndingName(ending))});
    if (!updated)
      return updated.error();
    if (updated->Affected() != 1) {
      return Fault(LedgerFault::NoSuchBatch, NoOpenWriteText(writeId));
    }
    return Done{};
  });
}

Result<Pool> PostgresLedger::AddPool(const std::string& name, const MacRange& macs) {
  return InTransaction<Pool>(true, [&] {
    PostgresRuleStore store(m_db);
    return ApplyAddPool(store, name, macs);
  });
}

Result<std::vector<Pool>> PostgresLedger::Pools() {
  return InTransaction<std::vector<Pool>>(false,
                                          [&] { return PostgresRuleStore(m_db).AllPools(); });
}

Result<std::vector<BatchDetails>> PostgresLedger::Batches(const BatchFilter& filter) {
  if (std::optional<LedgerError> invalid = ValidateFilter(filter))
    return *invalid;
  // One snapshot for both reads, so writes match their batches.
  return InTransaction<std::vector<BatchDetails>>(
      false, [&]() -> Result<std::vector<BatchDetails>> {
        if (Status snapshot = m_db.Run("SET TRANSACTION ISOLATION LEVEL REPEATABLE READ");
            !snapshot)
          return snapshot.error();
        return PostgresRuleStore(m_db).Batches(filter);
      });
}

Result<BatchSummary> PostgresLedger::Void(std::int64_t batchId, const std::string& reason) {
  return InTransaction<BatchSummary>(true, [&] {
    PostgresRuleStore store(m_db);
    return ApplyVoid(store, batchId, reason);
  });
}

}  // namespace quillmark::ledger
