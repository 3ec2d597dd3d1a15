#include "ledger_report.h"

#include <algorithm>
#include <cstdio>

#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

void Append(PoolUsage& usage, MacRange macs, Usage kind) {
  if (macs.count == 0)
    return;
  usage.addresses[int(kind)] += macs.count;
  if (kind == Usage::Free) {
    if (!usage.nextFree)
      usage.nextFree = macs.first;
    if (macs.count > usage.largestFree.count)
      usage.largestFree = macs;
  } else {
    usage.used += macs.count;
  }
  if (!usage.segments.empty()) {
    UsageSegment& last = usage.segments.back();
    if (last.usage == kind && last.macs.end() == macs.first) {
      last.macs.count += macs.count;
      return;
    }
  }
  usage.segments.push_back({macs, kind});
}

// Days since 1970-01-01 of a civil date, and back (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
  y -= m <= 2;
  const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
  const unsigned yoe = unsigned(y - era * 400);
  const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + std::int64_t(doe) - 719468;
}

std::string CivilFromDays(std::int64_t z) {
  z += 719468;
  const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  const unsigned doe = unsigned(z - era * 146097);
  const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const unsigned mp = (5 * doy + 2) / 153;
  const unsigned d = doy - (153 * mp + 2) / 5 + 1;
  const unsigned m = mp < 10 ? mp + 3 : mp - 9;
  const std::int64_t y = std::int64_t(yoe) + era * 400 + (m <= 2);
  char text[32];
  std::snprintf(text, sizeof text, "%04lld-%02u-%02u", static_cast<long long>(y), m, d);
  return text;
}

}  // namespace

Usage UsageOf(const BatchDetails& details) {
  if (details.batch.voided)
    return Usage::Voided;
  const bool finished =
      std::any_of(details.writes.begin(), details.writes.end(),
                  [](const WriteRecord& w) { return w.ending == Ending::Finished; });
  return finished ? Usage::Finished : Usage::Reserved;
}

PoolUsage ComputePoolUsage(const Pool& pool, const std::vector<BatchDetails>& batches) {
  std::vector<UsageSegment> taken;
  for (const BatchDetails& details : batches) {
    const MacRange macs = details.batch.macs();
    if (!macs.Overlaps(pool.macs))
      continue;
    const std::uint64_t first = std::max(macs.first, pool.macs.first);
    const std::uint64_t end = std::min(macs.end(), pool.macs.end());
    taken.push_back({{first, end - first}, UsageOf(details)});
  }
  std::sort(taken.begin(), taken.end(), [](const UsageSegment& a, const UsageSegment& b) {
    return a.macs.first < b.macs.first;
  });
  PoolUsage usage;
  usage.pool = pool;
  std::uint64_t cursor = pool.macs.first;
  for (const UsageSegment& segment : taken) {
    // The ledger keeps batches apart; should two ever overlap, each address
    // is still counted once.
    const std::uint64_t first = std::max(segment.macs.first, cursor);
    if (first >= segment.macs.end())
      continue;
    Append(usage, {cursor, first - cursor}, Usage::Free);
    Append(usage, {first, segment.macs.end() - first}, segment.usage);
    cursor = segment.macs.end();
  }
  Append(usage, {cursor, pool.macs.end() - cursor}, Usage::Free);
  return usage;
}

Result<LedgerReport> BuildReport(Ledger& ledger, const ReportRequest& request) {
  Result<std::vector<Pool>> pools = ledger.Pools();
  if (!pools)
    return pools.error();
  if (!request.pool.empty()) {
    std::erase_if(pools.value(), [&](const Pool& p) { return p.name != request.pool; });
    if (pools->empty())
      return UnknownPoolError(request.pool);
  }
  // The date is judged by the ledger, as `ledger list` judges it (no batch
  // has id 0); the batches are then read once for the bars, the chart and
  // the table.
  if (Result<std::vector<BatchDetails>> judged =
          ledger.Batches(BatchFilter{std::int64_t{0}, "", request.since});
      !judged) {
    return judged.error();
  }
  Result<std::vector<BatchDetails>> all = ledger.Batches(BatchFilter{});
  if (!all)
    return all.error();
  std::vector<BatchDetails> batches;
  for (const BatchDetails& details : all.value()) {
    // What the ledger's own filter for pool and period selects.
    if ((request.pool.empty() || details.batch.pool == request.pool) &&
        details.batch.recordedAt >= request.since)
      batches.push_back(details);
  }

  LedgerReport report;
  report.since = request.since.substr(0, 10);
  report.until = request.today;
  for (const Pool& pool : pools.value())
    report.pools.push_back(ComputePoolUsage(pool, all.value()));
  for (const BatchDetails& details : all.value()) {
    if (!request.pool.empty() && details.batch.pool != request.pool)
      continue;
    // Every write of a batch runs from its first device: a device counts
    // once, on the day a write first got that far, and a rewrite adds
    // only the devices no earlier write reached.
    std::int32_t reached = 0;
    for (const WriteRecord& write : details.writes) {
      const std::int32_t fresh = write.devicesWritten - reached;
      if (fresh <= 0)
        continue;
      reached = write.devicesWritten;
      if (write.startedAt >= request.since)
        report.devices[{write.startedAt.substr(0, 10), write.station}] += fresh;
    }
  }
  report.batchesInPeriod = batches.size();
  std::sort(batches.begin(), batches.end(),
            [](const BatchDetails& a, const BatchDetails& b) { return a.batch.id > b.batch.id; });
  if (batches.size() > request.tableRows)
    batches.resize(request.tableRows);
  report.batches = std::move(batches);
  return report;
}

std::string DaysBefore(const std::string& day, int days) {
  int y = 0;
  unsigned m = 0;
  unsigned d = 0;
  if (std::sscanf(day.c_str(), "%4d-%2u-%2u", &y, &m, &d) != 3)
    return day;
  return CivilFromDays(DaysFromCivil(y, m, d) - days);
}

}  // namespace quillmark::ledger
