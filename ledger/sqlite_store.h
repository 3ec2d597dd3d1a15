#pragma once

#include <string>
#include <vector>

#include "ledger_rules.h"
#include "sqlite_handle.h"

namespace quillmark::ledger {

// The reservation rules' reads and writes on an SQLite ledger, inside the
// transaction its caller holds.
class SqliteRuleStore final : public RuleStore {
 public:
  SqliteRuleStore(SqliteDatabase& db, std::string user) : m_db(db), m_user(std::move(user)) {}

  Result<std::optional<Pool>> FindPool(const std::string& name) override;
  Result<std::optional<Pool>> PoolHolding(const MacRange& range) override;
  Result<bool> HasPools() override;
  Result<std::optional<std::uint64_t>> NextFreeStart(const Pool& pool, std::uint64_t size) override;
  Result<std::optional<std::uint64_t>> NextFreeStartByScan(const Pool& pool,
                                                           std::uint64_t size) override;
  Result<std::optional<BatchSummary>> SameDevices(std::uint64_t firstMac, std::int32_t deviceCount,
                                                  std::int32_t macsPerDevice) override;
  Result<std::optional<BatchSummary>> FirstOverlap(const MacRange& range) override;
  Result<std::int64_t> InsertBatch(const BatchRequest& request, std::uint64_t firstMac,
                                   const std::string& pool, const SerialIssue& serials) override;
  Result<std::int64_t> InsertWrite(std::int64_t batchId, const BatchRequest& request) override;
  Result<std::optional<Pool>> FirstOverlappingPool(const MacRange& range) override;
  Result<Pool> InsertPool(const std::string& name, const MacRange& macs) override;
  Result<std::optional<BatchSummary>> FindBatch(std::int64_t id) override;
  Status InsertVoid(std::int64_t batchId, const std::string& reason) override;
  Result<std::optional<Series>> FindSeries(const std::string& name) override;
  Result<std::optional<std::uint64_t>> SeriesEnd(const std::string& name) override;
  Result<std::optional<BatchSummary>> FirstSerialOverlap(const std::string& series,
                                                         std::uint64_t first,
                                                         std::int64_t count) override;
  Result<std::string> Today() override;
  Result<Series> InsertSeries(const Series& series) override;

  // The listings, read in the same way.
  Result<std::vector<Pool>> AllPools();
  Result<std::vector<Series>> AllSeries();
  Result<std::vector<BatchDetails>> Batches(const BatchFilter& filter);
  Result<std::vector<WriteRecord>> WritesOf(std::int64_t batchId) override;

 private:
  // The first start a query over the pool's range finds, with the pool's
  // bounds and the size bound to it; none when no gap is wide enough.
  Result<std::optional<std::uint64_t>> FirstFreeStart(const char* sql, const Pool& pool,
                                                      std::uint64_t size);
  Result<std::optional<BatchSummary>> OneBatch(SqliteStatement& statement);
  Result<std::optional<Pool>> OnePool(SqliteStatement& statement);

  SqliteDatabase& m_db;
  std::string m_user;  // SQLite has no users: the system's user name
};

}  // namespace quillmark::ledger
