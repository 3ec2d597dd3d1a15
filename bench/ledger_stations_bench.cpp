// Many stations reserving from one ledger at once:
//   quillmark-ledger-stations-bench LOCATION CLIENTS SECONDS own|shared
// CLIENTS threads, each a station with a connection of its own, take the
// next free range of 8 devices and record the write's outcome, through
// the ledger's own Reserve and RecordOutcome (the write command's calls),
// for SECONDS. "own": each station has its pool (a line of its own);
// "shared": every station takes from one pool. Prints one line:
//   clients N reservations R per_second X p50_ms A p99_ms B errors E
// Then checks the whole history: every range a station was given is
// recorded as given, no two batches share an address, and checking each
// recorded batch's own devices finds that batch and no other. Exits 1 on
// any error or finding.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "ledger.h"

namespace {

using namespace quillmark::ledger;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFirstPool = 0x046000000000;
constexpr std::uint64_t kPoolSize = 0x1000000;
constexpr int kMostClients = 64;
constexpr std::int32_t kDevices = 8;

std::string PoolName(int index) {
  return "line-" + std::to_string(index);
}

BatchRequest Request(const std::string& pool, int station) {
  BatchRequest request;
  request.deviceCount = kDevices;
  request.macsPerDevice = 1;
  request.pool = pool;
  request.station = "station-" + std::to_string(station);
  request.imageSha256 = std::string(64, 'b');
  request.outputFolder = "out";
  return request;
}

bool AddPools(Ledger& ledger) {
  Result<std::vector<Pool>> pools = ledger.Pools();
  if (!pools)
    return false;
  for (int i = static_cast<int>(pools->size()); i < kMostClients; ++i) {
    if (!ledger.AddPool(PoolName(i),
                        MacRange{kFirstPool + kPoolSize * std::uint64_t(i), kPoolSize}))
      return false;
  }
  return true;
}

struct Given {
  std::int64_t batchId = 0;
  MacRange macs;
  int station = 0;
};

struct Shared {
  std::mutex mutex;
  std::vector<double> latencies;
  std::vector<Given> given;
  std::vector<std::string> errors;
};

void Station(const LedgerLocation& location, int station, bool ownPool, Clock::time_point end,
             Shared& shared) {
  std::vector<double> latencies;
  std::vector<Given> given;
  std::vector<std::string> errors;
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location);
  if (!opened) {
    errors.push_back(opened.error().message);
  } else {
    const BatchRequest request = Request(PoolName(ownPool ? station : 0), station);
    WriteOutcome outcome;
    outcome.finished = true;
    outcome.devicesWritten = kDevices;
    while (Clock::now() < end && errors.empty()) {
      const auto start = Clock::now();
      Result<Reservation> reserved = opened.value()->Reserve(request);
      latencies.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
      if (!reserved) {
        errors.push_back(reserved.error().message);
        break;
      }
      given.push_back(Given{reserved->batchId, reserved->macs, station});
      if (Status ended = opened.value()->RecordOutcome(reserved->writeId, outcome); !ended)
        errors.push_back(ended.error().message);
    }
  }
  std::lock_guard<std::mutex> lock(shared.mutex);
  shared.latencies.insert(shared.latencies.end(), latencies.begin(), latencies.end());
  shared.given.insert(shared.given.end(), given.begin(), given.end());
  shared.errors.insert(shared.errors.end(), errors.begin(), errors.end());
}

double Percentile(std::vector<double> values, double fraction) {
  if (values.empty())
    return 0;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<std::size_t>(fraction * values.size()))];
}

// The whole history against what the stations were told.
int CheckHistory(Ledger& ledger, const std::vector<Given>& given) {
  Result<std::vector<BatchDetails>> all = ledger.Batches({});
  if (!all) {
    std::printf("history: %s\n", all.error().message.c_str());
    return 1;
  }
  int findings = 0;
  std::map<std::int64_t, const BatchDetails*> byId;
  std::vector<MacRange> ranges;
  for (const BatchDetails& details : all.value()) {
    byId[details.batch.id] = &details;
    ranges.push_back(details.batch.macs());
  }
  for (const Given& one : given) {
    auto found = byId.find(one.batchId);
    if (found == byId.end() || !(found->second->batch.macs() == one.macs)) {
      std::printf("history: batch %lld given to a station is not recorded as given\n",
                  static_cast<long long>(one.batchId));
      ++findings;
    }
  }
  std::sort(ranges.begin(), ranges.end(),
            [](const MacRange& a, const MacRange& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < ranges.size(); ++i) {
    if (ranges[i - 1].end() > ranges[i].first) {
      std::printf("history: two batches share address %llu\n",
                  static_cast<unsigned long long>(ranges[i].first));
      ++findings;
    }
  }
  // As `ledger check` of each batch's own devices: the batch itself, as
  // another write of it, and never a batch in the way.
  for (const auto& [id, details] : byId) {
    BatchRequest same = Request(details->batch.pool, 0);
    same.station = details->batch.station;
    same.firstMac = details->batch.firstMac;
    same.deviceCount = details->batch.deviceCount;
    Result<Reservation> check = ledger.Check(same);
    if (!check || !check->rewrite || check->batchId != id) {
      std::printf("history: checking batch %lld: %s\n", static_cast<long long>(id),
                  check ? "another batch" : check.error().message.c_str());
      ++findings;
    }
  }
  std::printf("history: %zu batches checked, %zu ranges given, %d findings\n", byId.size(),
              given.size(), findings);
  return findings == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::fprintf(stderr, "usage: %s LOCATION CLIENTS SECONDS own|shared\n", argv[0]);
    return 2;
  }
  const int clients = std::atoi(argv[2]);
  const int seconds = std::atoi(argv[3]);
  const bool ownPool = std::string(argv[4]) == "own";
  Result<LedgerLocation> location = ParseLedgerLocation(argv[1]);
  if (clients < 1 || clients > kMostClients || seconds < 1 || !location ||
      !InitLedger(location.value())) {
    return 2;
  }
  Result<std::unique_ptr<Ledger>> ledger = OpenLedger(location.value());
  if (!ledger || !AddPools(*ledger.value()))
    return 1;
  Shared shared;
  std::vector<std::thread> threads;
  const auto start = Clock::now();
  const auto end = start + std::chrono::seconds(seconds);
  for (int i = 0; i < clients; ++i)
    threads.emplace_back(Station, std::cref(location.value()), i, ownPool, end, std::ref(shared));
  for (std::thread& thread : threads)
    thread.join();
  const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
  std::printf("clients %d reservations %zu per_second %.1f p50_ms %.2f p99_ms %.2f errors %zu\n",
              clients, shared.given.size(), double(shared.given.size()) / elapsed,
              Percentile(shared.latencies, 0.5), Percentile(shared.latencies, 0.99),
              shared.errors.size());
  for (const std::string& error : shared.errors)
    std::printf("error: %s\n", error.c_str());
  const int history = CheckHistory(*ledger.value(), shared.given);
  return shared.errors.empty() && history == 0 ? 0 : 1;
}
