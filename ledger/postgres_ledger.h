#pragma once

#include <memory>
#include <string>

#include "ledger.h"
#include "pq_handle.h"

namespace quillmark::ledger {

// A ledger shared by many stations in a PostgreSQL database. The rule is
// the exclusion constraint on the batches' ranges; every writing
// transaction first takes a lock, so stations racing for the same next
// range queue instead of deadlocking: a reservation in a named pool that
// pool's (take_pool_lock()), anything else the ledger-wide one
// (take_ledger_lock()). It is run again after a deadlock, a serialization
// failure or an exclusion violation all the same.
class PostgresLedger final : public Ledger {
 public:
  // How a transaction begins: reading statement by statement, reading one
  // snapshot, writing under the ledger's lock (a pool's, where one is
  // named), writing a row of the writer's own only, or upgrading the schema.
  enum class Access { Read, Snapshot, Write, OwnRow, Upgrade };

  static Result<std::unique_ptr<Ledger>> Open(const LedgerLocation& location);
  static Result<InitReport> Init(const LedgerLocation& location, int targetVersion);

  Result<Reservation> Reserve(const BatchRequest& request) override;
  Result<Reservation> Check(const BatchRequest& request) override;
  Status RecordOutcome(std::int64_t writeId, const WriteOutcome& outcome) override;
  Result<Pool> AddPool(const std::string& name, const MacRange& macs) override;
  Result<std::vector<Pool>> Pools() override;
  Result<Series> AddSeries(const std::string& name, const std::string& templateText,
                           std::optional<std::uint64_t> first) override;
  Result<std::vector<Series>> SeriesList() override;
  Result<std::vector<BatchDetails>> Batches(const BatchFilter& filter) override;
  Result<BatchSummary> Void(std::int64_t batchId, const std::string& reason) override;

 private:
  explicit PostgresLedger(PqConnection connection) : m_db(std::move(connection)) {}
  template <class T, class Body>
  Result<T> InTransaction(Access access, Body body, const std::string& pool = {});

  PqConnection m_db;
};

// The schema version of a database: 0 where no ledger was made yet.
Result<int> PostgresSchemaVersion(PqConnection& db);

}  // namespace quillmark::ledger
