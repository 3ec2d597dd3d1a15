#include "postgres_store.h"

#include <map>

#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

#define QUILLMARK_UTC(column) \
  "to_char(" column " AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS\"Z\"')"

constexpr std::string_view kBatchColumns =
    "SELECT b.id, b.first_mac, b.device_count, b.macs_per_device, b.pool, b.station,"
    " b.recorded_by, " QUILLMARK_UTC("b.recorded_at") ", v.batch_id IS NOT NULL, v.reason,"
    " v.voided_by, " QUILLMARK_UTC("v.voided_at") ", b.lot, b.series, b.first_seq,"
    " to_char(b.serial_date, 'YYYY-MM-DD'), s.template"
    " FROM quillmark.batches b LEFT JOIN quillmark.voids v ON v.batch_id = b.id"
    " LEFT JOIN quillmark.serial_series s ON s.name = b.series ";

constexpr std::string_view kSeriesColumns =
    "SELECT name, template, first_seq, end_seq, created_by, " QUILLMARK_UTC(
        "created_at") " FROM quillmark.serial_series ";

constexpr std::string_view kPoolColumns =
    "SELECT name, lower(macs), upper(macs), created_by, " QUILLMARK_UTC(
        "created_at") " FROM quillmark.pools ";

constexpr std::string_view kWriteColumns =
    "SELECT id, batch_id, station, image_sha256, output_folder, written_by, " QUILLMARK_UTC(
        "started_at") ", " QUILLMARK_UTC("ended_at") ", devices_written, devices_failed, ending,"
    " rerun_reason FROM quillmark.batch_writes ";

constexpr std::string_view kFilter =
    " WHERE ($1::bigint IS NULL OR b.id = $1) AND ($2::text IS NULL OR b.pool = $2)"
    " AND ($3::timestamptz IS NULL OR b.recorded_at >= $3)";

std::string Sql(std::string_view head, std::string_view tail) {
  return std::string(head) + std::string(tail);
}

std::string Number(std::uint64_t value) {
  return std::to_string(value);
}

std::optional<std::string> Nullable(const std::string& text) {
  if (text.empty())
    return std::nullopt;
  return text;
}

BatchSummary ReadBatch(const PqResult& rows, int row) {
  BatchSummary batch;
  batch.id = rows.Int64(row, 0);
  batch.firstMac = static_cast<std::uint64_t>(rows.Int64(row, 1));
  batch.deviceCount = static_cast<std::int32_t>(rows.Int64(row, 2));
  batch.macsPerDevice = static_cast<std::int32_t>(rows.Int64(row, 3));
  batch.pool = rows.Text(row, 4);
  batch.station = rows.Text(row, 5);
  batch.recordedBy = rows.Text(row, 6);
  batch.recordedAt = rows.Text(row, 7);
  batch.voided = rows.Bool(row, 8);
  batch.voidReason = rows.Text(row, 9);
  batch.voidedBy = rows.Text(row, 10);
  batch.voidedAt = rows.Text(row, 11);
  batch.lot = rows.Text(row, 12);
  if (!rows.Text(row, 13).empty())
    batch.serials = SerialIssue{
        rows.Text(row, 13), rows.Text(row, 16), static_cast<std::uint64_t>(rows.Int64(row, 14)),
        rows.Text(row, 15), batch.lot,          batch.station};
  return batch;
}

Series ReadSeries(const PqResult& rows, int row) {
  return Series{rows.Text(row, 0),
                rows.Text(row, 1),
                static_cast<std::uint64_t>(rows.Int64(row, 2)),
                static_cast<std::uint64_t>(rows.Int64(row, 3)),
                rows.Text(row, 4),
                rows.Text(row, 5)};
}

Pool ReadPool(const PqResult& rows, int row) {
  const auto first = static_cast<std::uint64_t>(rows.Int64(row, 1));
  const auto end = static_cast<std::uint64_t>(rows.Int64(row, 2));
  return Pool{rows.Text(row, 0), MacRange{first, end - first}, rows.Text(row, 3),
              rows.Text(row, 4)};
}

WriteRecord ReadWrite(const PqResult& rows, int row) {
  WriteRecord write;
  write.id = rows.Int64(row, 0);
  write.batchId = rows.Int64(row, 1);
  write.station = rows.Text(row, 2);
  write.imageSha256 = rows.Text(row, 3);
  write.outputFolder = rows.Text(row, 4);
  write.writtenBy = rows.Text(row, 5);
  write.startedAt = rows.Text(row, 6);
  write.endedAt = rows.Text(row, 7);
  write.devicesWritten = static_cast<std::int32_t>(rows.Int64(row, 8));
  write.devicesFailed = static_cast<std::int32_t>(rows.Int64(row, 9));
  write.ending = ParseEnding(rows.Text(row, 10)).value_or(Ending::None);
  write.rerunReason = rows.Text(row, 11);
  return write;
}

PqParams FilterParams(const BatchFilter& filter) {
  return {filter.id ? std::optional<std::string>(std::to_string(*filter.id)) : std::nullopt,
          Nullable(filter.pool), Nullable(filter.since)};
}

}  // namespace

Result<std::optional<BatchSummary>> PostgresRuleStore::OneBatch(std::string_view where,
                                                                const PqParams& params) {
  Result<PqResult> rows = m_db.Exec(Sql(kBatchColumns, where), params);
  if (!rows)
    return rows.error();
  if (rows->Rows() == 0)
    return std::optional<BatchSummary>();
  return std::optional<BatchSummary>(ReadBatch(rows.value(), 0));
}

Result<std::optional<Pool>> PostgresRuleStore::OnePool(std::string_view where,
                                                       const PqParams& params) {
  Result<PqResult> rows = m_db.Exec(Sql(kPoolColumns, where), params);
  if (!rows)
    return rows.error();
  if (rows->Rows() == 0)
    return std::optional<Pool>();
  return std::optional<Pool>(ReadPool(rows.value(), 0));
}

Result<std::optional<Pool>> PostgresRuleStore::FindPool(const std::string& name) {
  return OnePool("WHERE name = $1", {name});
}

Result<std::optional<Pool>> PostgresRuleStore::PoolHolding(const MacRange& range) {
  return OnePool("WHERE macs @> int8range($1::bigint, $2::bigint)",
                 {Number(range.first), Number(range.end())});
}

Result<bool> PostgresRuleStore::HasPools() {
  Result<PqResult> rows = m_db.Exec("SELECT EXISTS (SELECT FROM quillmark.pools)");
  if (!rows)
    return rows.error();
  return rows->Bool(0, 0);
}

Result<std::optional<std::uint64_t>> PostgresRuleStore::NextFreeStart(const Pool& pool,
                                                                      std::uint64_t size) {
  // The pool's gaps in address order until one is wide enough.
  return FirstFreeStart(
      "SELECT first_mac FROM quillmark.free_ranges WHERE first_mac >= $1::bigint"
      " AND first_mac < $2::bigint AND end_mac - first_mac >= $3::bigint"
      " ORDER BY first_mac LIMIT 1",
      pool, size);
}

Result<std::optional<std::uint64_t>> PostgresRuleStore::NextFreeStartByScan(const Pool& pool,
                                                                            std::uint64_t size) {
  // One pass over the batches in the pool in address order (from the one
  // that may straddle its start): the gap before each, from the end of the
  // one before it; then the gap after the last, found by one index seek.
  // The lowest gap wide enough wins.
  return FirstFreeStart(R"sql(
    SELECT gap_lo FROM (
      SELECT greatest(coalesce(lag(least(upper(macs), $2::bigint)) OVER (ORDER BY first_mac),
                               $1::bigint), $1::bigint) AS gap_lo,
             first_mac AS gap_hi
      FROM quillmark.batches
      WHERE first_mac < $2::bigint
        AND first_mac >= coalesce((SELECT first_mac FROM quillmark.batches
                                   WHERE first_mac <= $1::bigint
                                   ORDER BY first_mac DESC LIMIT 1), $1::bigint)
      UNION ALL
      SELECT greatest(coalesce((SELECT least(upper(macs), $2::bigint) FROM quillmark.batches
                                WHERE first_mac < $2::bigint ORDER BY first_mac DESC LIMIT 1),
                               $1::bigint), $1::bigint), $2::bigint
    ) AS gaps
    WHERE gap_hi - gap_lo >= $3::bigint ORDER BY gap_lo LIMIT 1)sql",
                        pool, size);
}

Result<std::optional<std::uint64_t>> PostgresRuleStore::FirstFreeStart(const char* sql,
                                                                       const Pool& pool,
                                                                       std::uint64_t size) {
  Result<PqResult> rows =
      m_db.Exec(sql, {Number(pool.macs.first), Number(pool.macs.end()), Number(size)});
  if (!rows)
    return rows.error();
  if (rows->Rows() == 0)
    return std::optional<std::uint64_t>();
  return std::optional<std::uint64_t>(static_cast<std::uint64_t>(rows->Int64(0, 0)));
}

Result<std::optional<BatchSummary>> PostgresRuleStore::SameDevices(std::uint64_t firstMac,
                                                                   std::int32_t deviceCount,
                                                                   std::int32_t macsPerDevice) {
  return OneBatch(
      "WHERE b.first_mac = $1::bigint AND b.device_count = $2::int AND b.macs_per_device = $3::int",
      {Number(firstMac), std::to_string(deviceCount), std::to_string(macsPerDevice)});
}

Result<std::optional<BatchSummary>> PostgresRuleStore::FirstOverlap(const MacRange& range) {
  // Ranges never overlap, so the lowest batch in the way is the last one
  // starting at or below the range, or else the first starting inside it:
  // a walk of the address index from there, never a search of every
  // range (which the planner may choose for ORDER BY … LIMIT 1).
  return OneBatch(
      "WHERE b.first_mac < $2::bigint AND upper(b.macs) > $1::bigint"
      " AND b.first_mac >= coalesce((SELECT first_mac FROM quillmark.batches"
      " WHERE first_mac <= $1::bigint ORDER BY first_mac DESC LIMIT 1), $1::bigint)"
      " ORDER BY b.first_mac LIMIT 1",
      {Number(range.first), Number(range.end())});
}

Result<std::int64_t> PostgresRuleStore::InsertBatch(const BatchRequest& request,
                                                    std::uint64_t firstMac, const std::string& pool,
                                                    const SerialIssue& serials) {
  Result<PqResult> rows = m_db.Exec(
      "INSERT INTO quillmark.batches (first_mac, device_count, macs_per_device, pool, station, lot,"
      " series, first_seq, serial_date) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, $9) RETURNING id",
      {Number(firstMac), std::to_string(request.deviceCount), std::to_string(request.macsPerDevice),
       Nullable(pool), request.station, Nullable(request.lot), Nullable(serials.series),
       serials.any() ? std::optional<std::string>(Number(serials.firstSeq)) : std::nullopt,
       Nullable(serials.date)});
  if (!rows)
    return rows.error();
  return rows->Int64(0, 0);
}

Result<std::int64_t> PostgresRuleStore::InsertWrite(std::int64_t batchId,
                                                    const BatchRequest& request) {
  Result<PqResult> rows = m_db.Exec(
      "INSERT INTO quillmark.batch_writes"
      " (batch_id, station, image_sha256, output_folder, rerun_reason)"
      " VALUES ($1, $2, $3, $4, $5) RETURNING id",
      {std::to_string(batchId), request.station, request.imageSha256, request.outputFolder,
       Nullable(request.rerunReason)});
  if (!rows)
    return rows.error();
  return rows->Int64(0, 0);
}

Result<std::optional<Pool>> PostgresRuleStore::FirstOverlappingPool(const MacRange& range) {
  return OnePool("WHERE macs && int8range($1::bigint, $2::bigint) ORDER BY lower(macs) LIMIT 1",
                 {Number(range.first), Number(range.end())});
}

Result<Pool> PostgresRuleStore::InsertPool(const std::string& name, const MacRange& macs) {
  Result<PqResult> rows = m_db.Exec(
      "INSERT INTO quillmark.pools (name, macs) VALUES ($1, int8range($2::bigint, $3::bigint))"
      " RETURNING name, lower(macs), upper(macs), created_by, " QUILLMARK_UTC("created_at"),
      {name, Number(macs.first), Number(macs.end())});
  if (!rows)
    return rows.error();
  return ReadPool(rows.value(), 0);
}

Result<std::optional<BatchSummary>> PostgresRuleStore::FindBatch(std::int64_t id) {
  return OneBatch("WHERE b.id = $1::bigint", {std::to_string(id)});
}

Status PostgresRuleStore::InsertVoid(std::int64_t batchId, const std::string& reason) {
  return m_db.Run("INSERT INTO quillmark.voids (batch_id, reason) VALUES ($1, $2)",
                  {std::to_string(batchId), reason});
}

Result<std::optional<Series>> PostgresRuleStore::FindSeries(const std::string& name) {
  Result<PqResult> rows = m_db.Exec(Sql(kSeriesColumns, "WHERE name = $1"), {name});
  if (!rows)
    return rows.error();
  if (rows->Rows() == 0)
    return std::optional<Series>();
  return std::optional<Series>(ReadSeries(rows.value(), 0));
}

Result<std::optional<std::uint64_t>> PostgresRuleStore::SeriesEnd(const std::string& name) {
  Result<PqResult> rows = m_db.Exec(
      "SELECT first_seq + device_count FROM quillmark.batches WHERE series = $1"
      " ORDER BY first_seq DESC LIMIT 1",
      {name});
  if (!rows)
    return rows.error();
  if (rows->Rows() == 0)
    return std::optional<std::uint64_t>();
  return std::optional<std::uint64_t>(static_cast<std::uint64_t>(rows->Int64(0, 0)));
}

Result<std::optional<BatchSummary>> PostgresRuleStore::FirstSerialOverlap(const std::string& series,
                                                                          std::uint64_t first,
                                                                          std::int64_t count) {
  return OneBatch(
      "WHERE b.series = $1 AND b.first_seq < $3::bigint"
      " AND b.first_seq + b.device_count > $2::bigint ORDER BY b.first_seq LIMIT 1",
      {series, Number(first), Number(first + static_cast<std::uint64_t>(count))});
}

Result<std::string> PostgresRuleStore::Today() {
  Result<PqResult> rows = m_db.Exec("SELECT to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD')", {});
  if (!rows)
    return rows.error();
  return rows->Text(0, 0);
}

Result<Series> PostgresRuleStore::InsertSeries(const Series& series) {
  Result<PqResult> rows = m_db.Exec(
      "INSERT INTO quillmark.serial_series (name, template, first_seq, end_seq)"
      " VALUES ($1, $2, $3, $4) RETURNING name, template, first_seq, end_seq, "
      "created_by, " QUILLMARK_UTC("created_at"),
      {series.name, series.templateText, Number(series.firstSeq), Number(series.endSeq)});
  if (!rows)
    return rows.error();
  return ReadSeries(rows.value(), 0);
}

Result<std::vector<Series>> PostgresRuleStore::AllSeries() {
  Result<PqResult> rows = m_db.Exec(Sql(kSeriesColumns, "ORDER BY name"));
  if (!rows)
    return rows.error();
  std::vector<Series> all;
  for (int row = 0; row < rows->Rows(); ++row)
    all.push_back(ReadSeries(rows.value(), row));
  return all;
}

Result<std::vector<Pool>> PostgresRuleStore::AllPools() {
  Result<PqResult> rows = m_db.Exec(Sql(kPoolColumns, "ORDER BY lower(macs)"));
  if (!rows)
    return rows.error();
  std::vector<Pool> pools;
  for (int row = 0; row < rows->Rows(); ++row)
    pools.push_back(ReadPool(rows.value(), row));
  return pools;
}

Result<std::vector<BatchDetails>> PostgresRuleStore::Batches(const BatchFilter& filter) {
  const PqParams params = FilterParams(filter);
  Result<PqResult> batches = m_db.Exec(Sql(kBatchColumns, Sql(kFilter, " ORDER BY b.id")), params);
  if (!batches)
    return batches.error();
  Result<PqResult> writes =
      m_db.Exec(Sql(kWriteColumns, Sql("WHERE batch_id IN (SELECT b.id FROM quillmark.batches b",
                                       Sql(kFilter, ") ORDER BY id"))),
                params);
  if (!writes)
    return writes.error();
  std::vector<BatchDetails> details;
  std::map<std::int64_t, std::size_t> byId;
  for (int row = 0; row < batches->Rows(); ++row) {
    byId[batches->Int64(row, 0)] = details.size();
    details.push_back(BatchDetails{ReadBatch(batches.value(), row), {}});
  }
  for (int row = 0; row < writes->Rows(); ++row) {
    WriteRecord write = ReadWrite(writes.value(), row);
    if (auto found = byId.find(write.batchId); found != byId.end())
      details[found->second].writes.push_back(std::move(write));
  }
  return details;
}

Result<std::vector<WriteRecord>> PostgresRuleStore::WritesOf(std::int64_t batchId) {
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
