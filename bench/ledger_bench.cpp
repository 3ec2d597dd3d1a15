// The ledger's costs on one back end:
//   quillmark-ledger-bench LOCATION
// records 200 batches one by one (the median is what a run waits before
// its first device), then, with 100,000 allocations in one pool, times
// the next free range. LOCATION must name an empty place (a new file, an
// empty database).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "ledger.h"
#include "pq_handle.h"
#include "sqlite_handle.h"

namespace {

using namespace quillmark::ledger;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kRecordPool = 0x045755000000;
constexpr std::uint64_t kFullPool = 0x046000000000;
constexpr int kAllocations = 100000;

double Milliseconds(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

BatchRequest Request(std::uint64_t first) {
  BatchRequest request;
  request.firstMac = first;
  request.deviceCount = 255;
  request.macsPerDevice = 1;
  request.station = "bench";
  request.imageSha256 = std::string(64, 'e');
  request.outputFolder = "out";
  return request;
}

// 100,000 one-address batches packed from the pool's start, inserted in
// one statement (the database's rules still check each).
bool FillPool(const LedgerLocation& location) {
  const std::string first = std::to_string(kFullPool);
  const std::string last = std::to_string(kAllocations - 1);
  if (location.kind == LedgerKind::SQLite) {
    Result<SqliteDatabase> db = SqliteDatabase::Open(location.target, false);
    return db &&
           db->Exec("WITH RECURSIVE n(i) AS (SELECT 0 UNION ALL SELECT i + 1 FROM n WHERE i < " +
                    last +
                    ") INSERT INTO batches (first_mac, device_count, macs_per_device,"
                    " pool, station, recorded_by) SELECT " +
                    first + " + i, 1, 1, 'full', 'bench', 'bench' FROM n");
  }
  Result<PqConnection> db = PqConnection::Connect(location.target, "bench");
  return db && db->Run(
                   "INSERT INTO quillmark.batches (first_mac, device_count, macs_per_device,"
                   " pool, station) SELECT " +
                   first +
                   " + i, 1, 1, 'full', 'bench'"
                   " FROM generate_series(0, " +
                   last + ") AS i");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s LOCATION\n", argv[0]);
    return 2;
  }
  Result<LedgerLocation> location = ParseLedgerLocation(argv[1]);
  if (!location || !InitLedger(location.value()))
    return 1;
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location.value());
  if (!opened)
    return 1;
  Ledger& ledger = *opened.value();
  if (!ledger.AddPool("record", MacRange{kRecordPool, 0x1000000}) ||
      !ledger.AddPool("full", MacRange{kFullPool, 0x1000000})) {
    return 1;
  }
  std::vector<double> record;
  for (int i = 0; i < 200; ++i) {
    const auto start = Clock::now();
    if (!ledger.Reserve(Request(kRecordPool + 255 * std::uint64_t(i))))
      return 1;
    record.push_back(Milliseconds(Clock::now() - start));
  }
  if (!FillPool(location.value()))
    return 1;
  BatchRequest next = Request(0);
  next.firstMac.reset();
  next.pool = "full";
  std::vector<double> check;
  std::vector<double> reserve;
  for (int i = 0; i < 21; ++i) {
    auto start = Clock::now();
    Result<Reservation> would = ledger.Check(next);
    check.push_back(Milliseconds(Clock::now() - start));
    start = Clock::now();
    Result<Reservation> took = ledger.Reserve(next);
    reserve.push_back(Milliseconds(Clock::now() - start));
    if (!would || !took || took->macs.first < kFullPool + kAllocations)
      return 1;
  }
  std::printf("record a batch: median %.2f ms of 200 (max %.2f ms)\n", Median(record),
              *std::max_element(record.begin(), record.end()));
  std::printf(
      "next free range, %d allocations: median %.2f ms to find (of 21),"
      " %.2f ms to find and record\n",
      kAllocations, Median(check), Median(reserve));
  return 0;
}
