#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "ledger.h"

namespace quillmark::ledger {

// What the addresses of a pool are used for, as the report's bar shows them.
enum class Usage { Finished, Reserved, Voided, Free };
inline constexpr int kUsageKinds = 4;

// Adjacent addresses of one usage, merged across batches.
struct UsageSegment {
  MacRange macs;
  Usage usage = Usage::Free;
};

struct PoolUsage {
  Pool pool;
  std::vector<UsageSegment> segments;         // the whole pool, by address, free parts included
  std::uint64_t addresses[kUsageKinds] = {};  // per Usage
  std::uint64_t used = 0;                     // everything but free: a voided batch still blocks
  MacRange largestFree;                       // count 0 when the pool is full
  std::optional<std::uint64_t> nextFree;      // the lowest free address
};

// Devices written on one day (UTC, "2024-05-01") at one station.
using DailyDevices = std::map<std::pair<std::string, std::string>, std::int64_t>;

struct LedgerReport {
  std::vector<PoolUsage> pools;
  std::string since;                  // the period's first day
  std::string until;                  // the report's day
  DailyDevices devices;               // devices first written in the period
  std::vector<BatchDetails> batches;  // the period's batches, newest first
  std::size_t batchesInPeriod = 0;    // before the table was cut to its rows
};

struct ReportRequest {
  std::string pool;              // empty: every pool
  std::string since;             // the period's start, as `ledger list --since` takes it
  std::string today;             // "2024-05-01", the report's day (UTC)
  std::size_t tableRows = 1000;  // the newest batches the table lists
};

// How a batch's addresses count: void, finished once, or reserved without
// a finished write (running, stopped, failed or never heard of again).
Usage UsageOf(const BatchDetails& details);

// The pool's usage from every batch in the ledger (those outside it are
// ignored, those reaching past it are cut at its edges).
PoolUsage ComputePoolUsage(const Pool& pool, const std::vector<BatchDetails>& batches);

// Reads what the report shows through the ledger's interface.
Result<LedgerReport> BuildReport(Ledger& ledger, const ReportRequest& request);

// The day `days` before the given one: "2024-05-31" less 30 is "2024-05-01".
std::string DaysBefore(const std::string& day, int days);

}  // namespace quillmark::ledger
