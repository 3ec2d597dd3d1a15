#include "sqlite_store.h"

#include <map>

#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

constexpr std::string_view kBatchColumns =
    "SELECT b.id, b.first_mac, b.device_count, b.macs_per_device, b.pool, b.station,"
    " b.recorded_by, b.recorded_at, v.batch_id IS NOT NULL, v.reason, v.voided_by, v.voided_at,"
    " b.lot, b.series, b.first_seq, b.serial_date, s.template FROM batches b"
    " LEFT JOIN voids v ON v.batch_id = b.id LEFT JOIN serial_series s ON s.name = b.series ";

constexpr std::string_view kSeriesColumns =
    "SELECT name, template, first_seq, end_seq, created_by, created_at FROM serial_series ";

constexpr std::string_view kPoolColumns =
    "SELECT name, first_mac, end_mac, created_by, created_at FROM pools ";

std::string Sql(std::string_view head, std::string_view tail) {
  return std::string(head) + std::string(tail);
}

BatchSummary ReadBatch(const SqliteStatement& row) {
  BatchSummary batch;
  batch.id = row.Int64(0);
  batch.firstMac = static_cast<std::uint64_t>(row.Int64(1));
  batch.deviceCount = static_cast<std::int32_t>(row.Int64(2));
  batch.macsPerDevice = static_cast<std::int32_t>(row.Int64(3));
  batch.pool = row.Text(4);
  batch.station = row.Text(5);
  batch.recordedBy = row.Text(6);
  batch.recordedAt = row.Text(7);
  batch.voided = row.Int64(8) != 0;
  batch.voidReason = row.Text(9);
  batch.voidedBy = row.Text(10);
  batch.lot = row.Text(12);
  batch.voidedAt = row.Text(11);
  batch.serials = SerialIssue{row.Text(13), row.Text(16), static_cast<std::uint64_t>(row.Int64(14)),
                              row.Text(15), batch.lot,    batch.station};
  return batch;
}

Series ReadSeries(const SqliteStatement& row) {
  return Series{row.Text(0),
                row.Text(1),
                static_cast<std::uint64_t>(row.Int64(2)),
                static_cast<std::uint64_t>(row.Int64(3)),
                row.Text(4),
                row.Text(5)};
}

Pool ReadPool(const SqliteStatement& row) {
  const auto first = static_cast<std::uint64_t>(row.Int64(1));
  const auto end = static_cast<std::uint64_t>(row.Int64(2));
  return Pool{row.Text(0), MacRange{first, end - first}, row.Text(3), row.Text(4)};
}

WriteRecord ReadWrite(const SqliteStatement& row) {
  WriteRecord write;
  write.id = row.Int64(0);
  write.batchId = row.Int64(1);
  write.station = row.Text(2);
  write.imageSha256 = row.Text(3);
  write.outputFolder = row.Text(4);
  write.writtenBy = row.Text(5);
  write.startedAt = row.Text(6);
  write.endedAt = row.Text(7);
  write.devicesWritten = static_cast<std::int32_t>(row.Int64(8));
  write.devicesFailed = static_cast<std::int32_t>(row.Int64(9));
  write.ending = ParseEnding(row.Text(10)).value_or(Ending::None);
  write.rerunReason = row.Text(11);
  return write;
}

// Only the conditions the filter has: SQLite plans a statement before its
// values are bound, so "(:id IS NULL OR b.id = :id)" reads every batch of
// the history where "b.id = :id" is one seek of the key, and the period
// one walk of the recorded_at index.
std::string FilterSql(const BatchFilter& filter) {
  std::string where = " WHERE 1";
  if (filter.id)
    where += " AND b.id = :id";
  if (!filter.pool.empty())
    where += " AND b.pool = :pool";
  // A period is days out of years: said to the planner, which else walks
  // every batch in id order to spare itself sorting the few it selects.
  if (!filter.since.empty())
    where += " AND likelihood(b.recorded_at >= :since, 0.001)";
  return where;
}

void BindFilter(SqliteStatement& statement, const BatchFilter& filter) {
  if (filter.id)
    statement.Bind(":id", *filter.id);
  if (!filter.pool.empty())
    statement.BindNullable(":pool", filter.pool);
  if (!filter.since.empty())
    statement.BindNullable(":since", filter.since);
}

}  // namespace

Result<std::optional<BatchSummary>> SqliteRuleStore::OneBatch(SqliteStatement& statement) {
  const int code = statement.Step();
  if (code == SQLITE_DONE)
    return std::optional<BatchSummary>();
  if (code != SQLITE_ROW)
    return m_db.Error(code);
  return std::optional<BatchSummary>(ReadBatch(statement));
}

Result<std::optional<Pool>> SqliteRuleStore::OnePool(SqliteStatement& statement) {
  const int code = statement.Step();
  if (code == SQLITE_DONE)
    return std::optional<Pool>();
  if (code != SQLITE_ROW)
    return m_db.Error(code);
  return std::optional<Pool>(ReadPool(statement));
}

Result<std::optional<Pool>> SqliteRuleStore::FindPool(const std::string& name) {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(kPoolColumns, "WHERE name = :name"));
  if (!statement)
    return statement.error();
  statement->Bind(":name", name);
  return OnePool(statement.value());
}

Result<std::optional<Pool>> SqliteRuleStore::PoolHolding(const MacRange& range) {
  // Pools never overlap: only the last one starting at or below the range
  // can hold it.
  Result<SqliteStatement> statement =
      m_db.Prepare(Sql(kPoolColumns,
                       "WHERE first_mac <= :first AND end_mac >= :end"
                       " ORDER BY first_mac DESC LIMIT 1"));
  if (!statement)
    return statement.error();
  statement->Bind(":first", std::int64_t(range.first)).Bind(":end", std::int64_t(range.end()));
  return OnePool(statement.value());
}

Result<bool> SqliteRuleStore::HasPools() {
  Result<std::optional<std::int64_t>> any = m_db.QueryInt("SELECT EXISTS (SELECT 1 FROM pools)");
  if (!any)
    return any.error();
  return any.value().value_or(0) != 0;
}

Result<std::optional<std::uint64_t>> SqliteRuleStore::NextFreeStart(const Pool& pool,
                                                                    std::uint64_t size) {
  // The pool's gaps in address order until one is wide enough.
  return FirstFreeStart(
      "SELECT first_mac FROM free_ranges WHERE first_mac >= :lo AND first_mac < :hi"
      " AND end_mac - first_mac >= :size ORDER BY first_mac LIMIT 1",
      pool, size);
}

Result<std::optional<std::uint64_t>> SqliteRuleStore::NextFreeStartByScan(const Pool& pool,
                                                                          std::uint64_t size) {
  // One pass over the batches in the pool in address order (from the one
  // that may straddle its start): the gap before each, from the end of the
  // one before it; then the gap after the last, found by one index seek.
  // The lowest gap wide enough wins.
  return FirstFreeStart(R"sql(
    SELECT gap_lo FROM (
      SELECT max(coalesce(lag(min(end_mac, :hi)) OVER (ORDER BY first_mac), :lo), :lo) AS gap_lo,
             first_mac AS gap_hi
      FROM batches
      WHERE first_mac < :hi
        AND first_mac >= coalesce((SELECT first_mac FROM batches WHERE first_mac <= :lo
                                   ORDER BY first_mac DESC LIMIT 1), :lo)
      UNION ALL
      SELECT max(coalesce((SELECT min(end_mac, :hi) FROM batches WHERE first_mac < :hi
                           ORDER BY first_mac DESC LIMIT 1), :lo), :lo), :hi
    )
    WHERE gap_hi - gap_lo >= :size ORDER BY gap_lo LIMIT 1)sql",
                        pool, size);
}

Result<std::optional<std::uint64_t>> SqliteRuleStore::FirstFreeStart(const char* sql,
                                                                     const Pool& pool,
                                                                     std::uint64_t size) {
  Result<SqliteStatement> statement = m_db.Prepare(sql);
  if (!statement)
    return statement.error();
  statement->Bind(":lo", std::int64_t(pool.macs.first))
      .Bind(":hi", std::int64_t(pool.macs.end()))
      .Bind(":size", std::int64_t(size));
  Result<std::optional<std::int64_t>> start = m_db.QueryInt(statement.value());
  if (!start)
    return start.error();
  if (!start.value())
    return std::optional<std::uint64_t>();
  return std::optional<std::uint64_t>(static_cast<std::uint64_t>(*start.value()));
}

Result<std::optional<BatchSummary>> SqliteRuleStore::SameDevices(std::uint64_t firstMac,
                                                                 std::int32_t deviceCount,
                                                                 std::int32_t macsPerDevice) {
  Result<SqliteStatement> statement = m_db.Prepare(
      Sql(kBatchColumns,
          "WHERE b.first_mac = :first AND b.device_count = :count AND b.macs_per_device = :n"));
  if (!statement)
    return statement.error();
  statement->Bind(":first", std::int64_t(firstMac))
      .Bind(":count", std::int64_t(deviceCount))
      .Bind(":n", std::int64_t(macsPerDevice));
  return OneBatch(statement.value());
}

Result<std::optional<BatchSummary>> SqliteRuleStore::FirstOverlap(const MacRange& range) {
  Result<SqliteStatement> statement = m_db.Prepare(
      Sql(kBatchColumns,
          "WHERE b.first_mac < :end AND b.end_mac > :first"
          " AND b.first_mac >= coalesce((SELECT first_mac FROM batches WHERE first_mac <= :first"
          " ORDER BY first_mac DESC LIMIT 1), :first)"
          " ORDER BY b.first_mac LIMIT 1"));
  if (!statement)
    return statement.error();
  statement->Bind(":first", std::int64_t(range.first)).Bind(":end", std::int64_t(range.end()));
  return OneBatch(statement.value());
}

Result<std::int64_t> SqliteRuleStore::InsertBatch(const BatchRequest& request,
                                                  std::uint64_t firstMac, const std::string& pool,
                                                  const SerialIssue& serials) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "INSERT INTO batches (first_mac, device_count, macs_per_device, pool, station, lot,"
      " recorded_by, series, first_seq, serial_date)"
      " VALUES (:first, :count, :n, :pool, :station, :lot, :user, :series, :seq, :date)"
      " RETURNING id");
  if (!statement)
    return statement.error();
  statement->Bind(":first", std::int64_t(firstMac))
      .Bind(":count", std::int64_t(request.deviceCount))
      .Bind(":n", std::int64_t(request.macsPerDevice))
      .BindNullable(":pool", pool)
      .Bind(":station", request.station)
      .BindNullable(":lot", request.lot)
      .Bind(":user", m_user)
      .BindNullable(":series", serials.series)
      .BindNullable(":date", serials.date);
  if (serials.any())
    statement->Bind(":seq", std::int64_t(serials.firstSeq));
  Result<std::optional<std::int64_t>> id = m_db.QueryInt(statement.value());
  if (!id)
    return id.error();
  return id.value().value_or(0);
}

Result<std::int64_t> SqliteRuleStore::InsertWrite(std::int64_t batchId,
                                                  const BatchRequest& request) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "INSERT INTO batch_writes"
      " (batch_id, station, image_sha256, output_folder, written_by, rerun_reason)"
      " VALUES (:batch, :station, :sha, :folder, :user, :reason) RETURNING id");
  if (!statement)
    return statement.error();
  statement->Bind(":batch", batchId)
      .Bind(":station", request.station)
      .Bind(":sha", request.imageSha256)
      .Bind(":folder", request.outputFolder)
      .Bind(":user", m_user)
      .BindNullable(":reason", request.rerunReason);
  Result<std::optional<std::int64_t>> id = m_db.QueryInt(statement.value());
  if (!id)
    return id.error();
  return id.value().value_or(0);
}

Result<std::optional<Pool>> SqliteRuleStore::FirstOverlappingPool(const MacRange& range) {
  Result<SqliteStatement> statement = m_db.Prepare(
      Sql(kPoolColumns, "WHERE first_mac < :end AND end_mac > :first ORDER BY first_mac LIMIT 1"));
  if (!statement)
    return statement.error();
  statement->Bind(":first", std::int64_t(range.first)).Bind(":end", std::int64_t(range.end()));
  return OnePool(statement.value());
}

Result<Pool> SqliteRuleStore::InsertPool(const std::string& name, const MacRange& macs) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "INSERT INTO pools (name, first_mac, end_mac, created_by) VALUES (:name, :first, :end, :user)"
      " RETURNING name, first_mac, end_mac, created_by, created_at");
  if (!statement)
    return statement.error();
  statement->Bind(":name", name)
      .Bind(":first", std::int64_t(macs.first))
      .Bind(":end", std::int64_t(macs.end()))
      .Bind(":user", m_user);
  Result<std::optional<Pool>> pool = OnePool(statement.value());
  if (!pool)
    return pool.error();
  if (Status rest = m_db.Run(statement.value()); !rest)
    return rest.error();
  return pool.value().value_or(Pool{});
}

Result<std::optional<BatchSummary>> SqliteRuleStore::FindBatch(std::int64_t id) {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(kBatchColumns, "WHERE b.id = :id"));
  if (!statement)
    return statement.error();
  statement->Bind(":id", id);
  return OneBatch(statement.value());
}

Status SqliteRuleStore::InsertVoid(std::int64_t batchId, const std::string& reason) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "INSERT INTO voids (batch_id, reason, voided_by) VALUES (:batch, :reason, :user)");
  if (!statement)
    return statement.error();
  statement->Bind(":batch", batchId).Bind(":reason", reason).Bind(":user", m_user);
  return m_db.Run(statement.value());
}

Result<std::optional<Series>> SqliteRuleStore::FindSeries(const std::string& name) {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(kSeriesColumns, "WHERE name = :name"));
  if (!statement)
    return statement.error();
  statement->Bind(":name", name);
  const int code = statement->Step();
  if (code == SQLITE_DONE)
    return std::optional<Series>();
  if (code != SQLITE_ROW)
    return m_db.Error(code);
  return std::optional<Series>(ReadSeries(statement.value()));
}

Result<std::optional<std::uint64_t>> SqliteRuleStore::SeriesEnd(const std::string& name) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "SELECT first_seq + device_count FROM batches WHERE series = :series"
      " ORDER BY first_seq DESC LIMIT 1");
  if (!statement)
    return statement.error();
  statement->Bind(":series", name);
  Result<std::optional<std::int64_t>> end = m_db.QueryInt(statement.value());
  if (!end)
    return end.error();
  if (!end.value())
    return std::optional<std::uint64_t>();
  return std::optional<std::uint64_t>(static_cast<std::uint64_t>(*end.value()));
}

Result<std::optional<BatchSummary>> SqliteRuleStore::FirstSerialOverlap(const std::string& series,
                                                                        std::uint64_t first,
                                                                        std::int64_t count) {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(
      kBatchColumns,
      "WHERE b.series = :series AND b.first_seq < :end AND b.first_seq + b.device_count > :first"
      " ORDER BY b.first_seq LIMIT 1"));
  if (!statement)
    return statement.error();
  statement->Bind(":series", series)
      .Bind(":first", std::int64_t(first))
      .Bind(":end", std::int64_t(first) + count);
  return OneBatch(statement.value());
}

Result<std::string> SqliteRuleStore::Today() {
  Result<SqliteStatement> statement = m_db.Prepare("SELECT strftime('%Y-%m-%d', 'now')");
  if (!statement)
    return statement.error();
  const int code = statement->Step();
  if (code != SQLITE_ROW)
    return m_db.Error(code);
  return statement->Text(0);
}

Result<Series> SqliteRuleStore::InsertSeries(const Series& series) {
  Result<SqliteStatement> statement = m_db.Prepare(
      "INSERT INTO serial_series (name, template, first_seq, end_seq, created_by)"
      " VALUES (:name, :template, :first, :end, :user)"
      " RETURNING name, template, first_seq, end_seq, created_by, created_at");
  if (!statement)
    return statement.error();
  statement->Bind(":name", series.name)
      .Bind(":template", series.templateText)
      .Bind(":first", std::int64_t(series.firstSeq))
      .Bind(":end", std::int64_t(series.endSeq))
      .Bind(":user", m_user);
  const int code = statement->Step();
  if (code != SQLITE_ROW)
    return m_db.Error(code);
  Series inserted = ReadSeries(statement.value());
  if (Status rest = m_db.Run(statement.value()); !rest)
    return rest.error();
  return inserted;
}

Result<std::vector<Series>> SqliteRuleStore::AllSeries() {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(kSeriesColumns, "ORDER BY name"));
  if (!statement)
    return statement.error();
  std::vector<Series> all;
  int code = SQLITE_ROW;
  while ((code = statement->Step()) == SQLITE_ROW)
    all.push_back(ReadSeries(statement.value()));
  if (code != SQLITE_DONE)
    return m_db.Error(code);
  return all;
}

Result<std::vector<Pool>> SqliteRuleStore::AllPools() {
  Result<SqliteStatement> statement = m_db.Prepare(Sql(kPoolColumns, "ORDER BY first_mac"));
  if (!statement)
    return statement.error();
  std::vector<Pool> pools;
  int code = SQLITE_ROW;
  while ((code = statement->Step()) == SQLITE_ROW)
    pools.push_back(ReadPool(statement.value()));
  if (code != SQLITE_DONE)
    return m_db.Error(code);
  return pools;
}

Result<std::vector<BatchDetails>> SqliteRuleStore::Batches(const BatchFilter& filter) {
  Result<SqliteStatement> batches =
      m_db.Prepare(Sql(kBatchColumns, Sql(FilterSql(filter), " ORDER BY b.id")));
  Result<SqliteStatement> writes = m_db.Prepare(
      Sql("SELECT id, batch_id, station, image_sha256, output_folder, written_by, started_at,"
          " ended_at, devices_written, devices_failed, ending, rerun_reason FROM batch_writes"
          " WHERE batch_id IN (SELECT b.id FROM batches b",
          Sql(FilterSql(filter), ") ORDER BY id")));
  if (!batches)
    return batches.error();
  if (!writes)
    return writes.error();
  BindFilter(batches.value(), filter);
  BindFilter(writes.value(), filter);

  std::vector<BatchDetails> details;
  std::map<std::int64_t, std::size_t> byId;
  int code = SQLITE_ROW;
  while ((code = batches->Step()) == SQLITE_ROW) {
    byId[batches->Int64(0)] = details.size();
    details.push_back(BatchDetails{ReadBatch(batches.value()), {}});
  }
  if (code != SQLITE_DONE)
    return m_db.Error(code);
  while ((code = writes->Step()) == SQLITE_ROW) {
    WriteRecord write = ReadWrite(writes.value());
    if (auto found = byId.find(write.batchId); found != byId.end())
      details[found->second].writes.push_back(std::move(write));
  }
  if (code != SQLITE_DONE)
    return m_db.Error(code);
  return details;
}

Result<std::vector<WriteRecord>> SqliteRuleStore::WritesOf(std::int64_t batchId) {
  BatchFilter filter;
  filter.id = batchId;
  Result<std::vector<BatchDetails>> batches = Batches(filter);
  if (!batches)
    return batches.error();
  if (batches->empty())
    return std::vector<WriteRecord>{};
  return std::move(batches->front().writes);
}

}  // namespace quillmark::ledger
