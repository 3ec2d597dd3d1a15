#pragma once

#include <memory>
#include <string>

#include "ledger.h"
#include "sqlite_handle.h"

namespace quillmark::ledger {

// A ledger in one SQLite file, for one station. Every write runs in
// BEGIN IMMEDIATE, so the rules see every batch another process recorded;
// the file is in WAL mode with synchronous=FULL. Never share the file over
// a network file system: a shared ledger is what PostgreSQL is for.
class SqliteLedger final : public Ledger {
 public:
  static Result<std::unique_ptr<Ledger>> Open(const std::string& path, bool readOnly = false);
  static Result<InitReport> Init(const std::string& path, int targetVersion);

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
  explicit SqliteLedger(SqliteDatabase db);

  SqliteDatabase m_db;
  std::string m_user;
};

// The schema version of an open SQLite file: 0 for an empty database;
// NotALedger for one that holds something else.
Result<int> SqliteSchemaVersion(SqliteDatabase& db);

}  // namespace quillmark::ledger
