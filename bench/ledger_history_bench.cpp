// The ledger's costs with years of history, on a ledger bench/ledger_history.sh
// filled (pools "pool-0" … "pool-99"):
//   quillmark-ledger-history-bench LOCATION SINCE
// times, median of 21 with the slowest, through the calls the commands
// make: the next free range (`ledger check --start-mac next`), a
// reservation and its outcome (a write's), the check of a recorded range
// (`ledger check --start-mac … --count …`) and the batches since SINCE
// (`ledger list --since`).
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "ledger.h"

namespace {

using namespace quillmark::ledger;
using Clock = std::chrono::steady_clock;

constexpr std::uint64_t kFirstPool = 0x046000000000;

struct Timing {
  double median = 0;
  double slowest = 0;
};

// Runs the step 21 times; false from it ends the benchmark.
bool Time(const char* what, const std::function<bool()>& step, Timing& timing) {
  std::vector<double> ms;
  for (int i = 0; i < 21; ++i) {
    const auto start = Clock::now();
    if (!step()) {
      std::fprintf(stderr, "%s failed\n", what);
      return false;
    }
    ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  timing = {ms[ms.size() / 2], ms.back()};
  std::printf("%s: median %.2f ms, slowest %.2f ms\n", what, timing.median, timing.slowest);
  return true;
}

BatchRequest Request() {
  BatchRequest request;
  request.deviceCount = 8;
  request.macsPerDevice = 1;
  request.pool = "pool-50";
  request.station = "station-7";
  request.imageSha256 = std::string(64, 'e');
  request.outputFolder = "/srv/out";
  return request;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s LOCATION SINCE\n", argv[0]);
    return 2;
  }
  Result<LedgerLocation> location = ParseLedgerLocation(argv[1]);
  if (!location)
    return 2;
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location.value());
  if (!opened) {
    std::fprintf(stderr, "%s\n", opened.error().message.c_str());
    return 1;
  }
  Ledger& ledger = *opened.value();
  const BatchRequest next = Request();
  // A batch in the middle of the history: pool 50's 1000th.
  BatchRequest recorded = Request();
  recorded.firstMac = kFirstPool + 50 * 0x1000000ULL + 1000 * 8;
  recorded.pool.clear();
  recorded.imageSha256 = std::string(64, '0');
  std::size_t listed = 0;
  std::vector<std::int64_t> writes;
  Timing timing;
  WriteOutcome outcome;
  outcome.finished = true;
  outcome.devicesWritten = 8;
  const bool ok =
      Time(
          "next free range (ledger check --start-mac next)",
          [&] { return bool(ledger.Check(next)); }, timing) &&
      Time(
          "reservation, the commit's flush included",
          [&] {
            Result<Reservation> taken = ledger.Reserve(next);
            if (taken)
              writes.push_back(taken->writeId);
            return bool(taken);
          },
          timing) &&
      // A recorded range is refused, naming its batch: the answer itself.
      Time(
          "check of a recorded range",
          [&] {
            Result<Reservation> check = ledger.Check(recorded);
            return !check && check.error().batch;
          },
          timing) &&
      Time(
          "ledger list --since one day",
          [&] {
            Result<std::vector<BatchDetails>> batches = ledger.Batches({std::nullopt, "", argv[2]});
            listed = batches ? batches->size() : 0;
            return bool(batches);
          },
          timing);
  for (const std::int64_t write : writes) {
    if (!ledger.RecordOutcome(write, outcome))
      return 1;
  }
  if (ok)
    std::printf("(%zu batches since %s)\n", listed, argv[2]);
  return ok ? 0 : 1;
}
