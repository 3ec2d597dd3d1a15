// One station of the concurrency and crash tests: allocates ranges from a
// ledger and prints one line per answer, flushed, so that whatever kills
// it, every "ok" line printed was acknowledged by the ledger first.
//   ledger_stress_client LOCATION fixed|next|series|next-series COUNT SEED [POOL]
// fixed: random ranges among few addresses, so stations collide often;
// next:  the next free range of POOL ("stress" unless named), each write's
//        outcome recorded after it, as the write command does.
//   ok ID FIRST SIZE REWRITE | refused FAULT ID FIRST SIZE | error TEXT
// A ledger that cannot be reached is asked again until it answers.
#include <chrono>
#include <cstdio>
#include <random>
#include <string>
#include <thread>

#include "ledger.h"

namespace {

using namespace quillmark::ledger;

constexpr std::uint64_t kBase = 0x045755000000;

BatchRequest NextRequest(const std::string& mode, const std::string& pool,
                         std::minstd_rand& random) {
  BatchRequest request;
  request.station = "stress";
  request.imageSha256 = std::string(64, 'c');
  request.outputFolder = "out";
  request.deviceCount = 1 + static_cast<std::int32_t>(random() % 20);
  request.macsPerDevice = 1 + static_cast<std::int32_t>(random() % 2);
  // "series" and "next-series": as "fixed" and "next", every batch taking
  // its serials from one series.
  if (mode == "series" || mode == "next-series")
    request.series = "race";
  if (mode == "next" || mode == "next-series") {
    request.pool = pool;
  } else if (random() % 8 == 0) {
    // The same devices as another station may be writing right now.
    request.firstMac = kBase + 5000 + 100 * (random() % 4);
    request.deviceCount = 10;
    request.macsPerDevice = 1;
  } else {
    request.firstMac = kBase + random() % 4000;
  }
  return request;
}

std::unique_ptr<Ledger> OpenUntilAnswered(const LedgerLocation& location) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    Result<std::unique_ptr<Ledger>> opened = OpenLedger(location);
    if (opened)
      return std::move(opened.value());
    if (opened.error().fault != LedgerFault::Unavailable ||
        std::chrono::steady_clock::now() > deadline) {
      std::printf("error %s\n", opened.error().message.c_str());
      return nullptr;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

// Asks until the ledger answers (a server being restarted does not).
Result<Reservation> ReserveUntilAnswered(Ledger& ledger, const BatchRequest& request) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  for (;;) {
    Result<Reservation> reserved = ledger.Reserve(request);
    if (reserved || reserved.error().fault != LedgerFault::Unavailable ||
        std::chrono::steady_clock::now() > deadline) {
      return reserved;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 5 && argc != 6)
    return 2;
  const std::string mode = argv[2];
  const std::string pool = argc == 6 ? argv[5] : "stress";
  const int count = std::atoi(argv[3]);
  std::minstd_rand random(static_cast<unsigned>(std::atoi(argv[4])));
  Result<LedgerLocation> location = ParseLedgerLocation(argv[1]);
  if (!location)
    return 2;
  std::unique_ptr<Ledger> ledger = OpenUntilAnswered(location.value());
  if (!ledger)
    return 1;
  for (int i = 0; i < count; ++i) {
    const BatchRequest request = NextRequest(mode, pool, random);
    const Result<Reservation> reserved = ReserveUntilAnswered(*ledger, request);
    if (reserved && argc == 6) {
      WriteOutcome outcome;
      outcome.finished = true;
      outcome.devicesWritten = request.deviceCount;
      if (Status ended = ledger->RecordOutcome(reserved->writeId, outcome); !ended) {
        std::printf("error %s\n", ended.error().message.c_str());
        std::fflush(stdout);
        continue;
      }
    }
    if (reserved) {
      std::printf("ok %lld %llu %llu %d %llu\n", static_cast<long long>(reserved->batchId),
                  static_cast<unsigned long long>(reserved->macs.first),
                  static_cast<unsigned long long>(reserved->macs.count), reserved->rewrite ? 1 : 0,
                  static_cast<unsigned long long>(reserved->serials.firstSeq));
    } else if (reserved.error().batch) {
      std::printf("refused %d %lld %llu %llu\n", static_cast<int>(reserved.error().fault),
                  static_cast<long long>(reserved.error().batch->id),
                  static_cast<unsigned long long>(request.firstMac.value_or(0)),
                  static_cast<unsigned long long>(request.deviceCount * request.macsPerDevice));
    } else {
      std::printf("error %s\n", reserved.error().message.c_str());
    }
    std::fflush(stdout);
  }
  return 0;
}
