// Stations racing for addresses at once, stations killed mid-way and a
// server crashing: no two recorded ranges overlap, and every range a
// station was told it has is in the ledger.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <map>
#include <sstream>

#include "child_process.h"
#include "ledger_fixture.h"
#include "postgres_server.h"
#include "serial_series.h"
#include "sqlite_handle.h"

namespace quillmark::test {
namespace {

using namespace ledger;

constexpr int kStations = 8;
constexpr int kAllocations = 50;

struct Acknowledged {
  std::int64_t id = 0;
  MacRange macs;
};

struct Refusal {
  std::int64_t blocker = 0;
  MacRange tried;
};

// What the stations printed: only whole lines, each written at once.
struct StationLines {
  std::vector<Acknowledged> ok;
  std::vector<Refusal> refused;
  std::vector<std::string> errors;
};

void ReadLines(const std::string& out, StationLines& lines) {
  for (const std::string& line : Lines(out)) {
    std::istringstream in(line);
    std::string kind;
    in >> kind;
    if (kind == "ok") {
      Acknowledged ack;
      in >> ack.id >> ack.macs.first >> ack.macs.count;
      lines.ok.push_back(ack);
    } else if (kind == "refused") {
      Refusal refusal;
      int fault = 0;
      in >> fault >> refusal.blocker >> refusal.tried.first >> refusal.tried.count;
      lines.refused.push_back(refusal);
    } else {
      lines.errors.push_back(line);
    }
  }
}

class LedgerStressTest : public testing::TestWithParam<Backend> {
 protected:
  void SetUp() override {
    ASSERT_EQ(m_place.error(), "");
    ASSERT_TRUE(InitLedger(m_place.location()));
    Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
    ASSERT_TRUE(opened);
    ASSERT_TRUE(opened.value()->AddPool("stress", MacRange{kVendor, 0x10000}));
  }

  void StartStations(const LedgerLocation& location, const std::string& mode) {
    for (int i = 0; i < kStations; ++i)
      StartStation(location, {mode, std::to_string(kAllocations), std::to_string(1000 + i)});
  }

  void StartStation(const LedgerLocation& location, std::vector<std::string> args) {
    args.insert(args.begin(), location.target);
    m_stations.push_back(
        std::make_unique<ChildProcess>(CommandLine(QUILLMARK_LEDGER_STRESS_CLIENT, args)));
    ASSERT_TRUE(m_stations.back()->started());
  }

  // Waits until the stations together were told of at least this many
  // ranges (reading their lines as they come).
  void WaitForAcknowledged(std::size_t wanted) {
    std::vector<std::size_t> seen(m_stations.size(), 0);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    std::size_t total = 0;
    while (total < wanted && std::chrono::steady_clock::now() < deadline) {
      for (auto& station : m_stations) {
        if (std::optional<std::string> line = station->ReadLine(std::chrono::milliseconds(5))) {
          total += line->rfind("ok ", 0) == 0 ? 1 : 0;
        }
      }
    }
    ASSERT_GE(total, wanted);
  }

  StationLines FinishStations(bool expectAllExited) {
    StationLines lines;
    for (auto& station : m_stations) {
      const ChildResult result = station->Finish(kChildTimeout);
      ReadLines(result.out, lines);
      if (expectAllExited) {
        EXPECT_EQ(result.exitCode, 0) << result.err;
      }
      EXPECT_FALSE(result.timedOut);
    }
    m_stations.clear();
    return lines;
  }

  // Every acknowledged range is recorded as such, and no two recorded
  // ranges share an address. Returns the ledger's batches by address.
  std::vector<BatchSummary> ExpectConsistent(const StationLines& lines) {
    Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
    EXPECT_TRUE(opened) << opened.error().message;
    if (!opened)
      return {};
    std::map<std::int64_t, BatchSummary> byId;
    for (const BatchDetails& details : opened.value()->Batches({}).value())
      byId[details.batch.id] = details.batch;
    for (const Acknowledged& ack : lines.ok) {
      auto found = byId.find(ack.id);
      EXPECT_NE(found, byId.end()) << "acknowledged batch " << ack.id << " is missing";
      if (found != byId.end()) {
        EXPECT_EQ(found->second.macs(), ack.macs) << "batch " << ack.id;
      }
    }
    for (const Refusal& refusal : lines.refused) {
      auto found = byId.find(refusal.blocker);
      EXPECT_TRUE(found != byId.end() && found->second.macs().Overlaps(refusal.tried))
          << "a refusal named batch " << refusal.blocker << " which is not in the way";
    }
    std::vector<BatchSummary> batches;
    for (const auto& [id, batch] : byId)
      batches.push_back(batch);
    std::sort(batches.begin(), batches.end(),
              [](const BatchSummary& a, const BatchSummary& b) { return a.firstMac < b.firstMac; });
    for (std::size_t i = 1; i < batches.size(); ++i) {
      EXPECT_LE(batches[i - 1].macs().end(), batches[i].firstMac)
          << "batches " << batches[i - 1].id << " and " << batches[i].id << " overlap";
    }
    EXPECT_EQ(m_place.FreeRangesDisagree(), "");
    return batches;
  }

  FreshLedgerPlace m_place{GetParam()};
  std::vector<std::unique_ptr<ChildProcess>> m_stations;
};

TEST_P(LedgerStressTest, EightStationsRecordCollidingRangesAtOnce) {
  StartStations(m_place.location(), "fixed");
  const StationLines lines = FinishStations(true);
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  EXPECT_EQ(lines.ok.size() + lines.refused.size(), std::size_t{kStations * kAllocations});
  EXPECT_GT(lines.refused.size(), 0u);  // the stations did collide
  ExpectConsistent(lines);
}

TEST_P(LedgerStressTest, EightStationsTakeTheNextFreeRangeAtOnce) {
  StartStations(m_place.location(), "next");
  const StationLines lines = FinishStations(true);
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  ASSERT_EQ(lines.ok.size(), std::size_t{kStations * kAllocations});
  // Each took the lowest free range: the pool is filled from its start
  // without a gap.
  const std::vector<BatchSummary> batches = ExpectConsistent(lines);
  ASSERT_EQ(batches.size(), lines.ok.size());
  std::uint64_t next = kVendor;
  for (const BatchSummary& batch : batches) {
    EXPECT_EQ(batch.firstMac, next) << "batch " << batch.id;
    next = batch.macs().end();
  }
}

// Colliding ranges and the same devices again, every batch taking its
// serials from one series: no serial goes to two batches, and another
// write of a batch is told the serials the batch has.
TEST_P(LedgerStressTest, EightStationsTakingSerialsFromOneSeriesNeverShareOne) {
  {
    Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
    ASSERT_TRUE(opened);
    ASSERT_TRUE(opened.value()->AddSeries("race", "35{seq:6}{check:luhn}", std::nullopt));
  }
  StartStations(m_place.location(), "series");
  StationLines lines;
  std::map<std::int64_t, std::uint64_t> toldFirstSerial;
  for (auto& station : m_stations) {
    const ChildResult result = station->Finish(kChildTimeout);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    ReadLines(result.out, lines);
    for (const std::string& line : Lines(result.out)) {
      std::istringstream in(line);
      std::string kind;
      std::int64_t id = 0;
      std::uint64_t first = 0, count = 0, seq = 0;
      int rewrite = 0;
      if (in >> kind >> id >> first >> count >> rewrite >> seq && kind == "ok")
        toldFirstSerial.emplace(id, seq);
    }
  }
  m_stations.clear();
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  EXPECT_GT(lines.refused.size(), 0u);  // the stations did collide
  const std::vector<BatchSummary> batches = ExpectConsistent(lines);
  std::map<std::string, std::int64_t> owner;
  std::uint64_t numbers = 0;
  for (const BatchSummary& batch : batches) {
    ASSERT_EQ(batch.serials.series, "race") << "batch " << batch.id;
    EXPECT_EQ(toldFirstSerial.at(batch.id), batch.serials.firstSeq) << "batch " << batch.id;
    const std::optional<BatchSerials> serials = BatchSerials::Of(batch.serials);
    ASSERT_TRUE(serials);
    for (std::int32_t device = 0; device < batch.deviceCount; ++device) {
      const auto [where, fresh] = owner.emplace(serials->At(device), batch.id);
      EXPECT_TRUE(fresh) << where->first << " went to batches " << where->second << " and "
                         << batch.id;
    }
    numbers += static_cast<std::uint64_t>(batch.deviceCount);
  }
  // The numbers were taken one batch after another from 1, none skipped.
  std::uint64_t highest = 0;
  for (const BatchSummary& batch : batches)
    highest = std::max(highest, batch.serials.firstSeq + std::uint64_t(batch.deviceCount));
  EXPECT_EQ(highest, numbers + 1);
}

// Stations on pools of their own, which lock only their pool, all taking
// serials from one series: the series is shared, so no serial goes to two
// batches however the pools' writers meet.
TEST_P(LedgerStressTest, StationsOnPoolsOfTheirOwnDrawOneSeriesWithoutSharingASerial) {
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
  ASSERT_TRUE(opened);
  ASSERT_TRUE(opened.value()->AddSeries("race", "{seq:8}", std::nullopt));
  constexpr int kPools = 4;
  constexpr int kEach = 25;
  for (int i = 0; i < kPools; ++i) {
    const std::string name = "own-" + std::to_string(i);
    ASSERT_TRUE(opened.value()->AddPool(name, MacRange{kVendor + 0x10000 * (i + 1), 0x10000}));
    StartStation(m_place.location(),
                 {"next-series", std::to_string(kEach), std::to_string(4000 + i), name});
  }
  const StationLines lines = FinishStations(true);
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  std::map<std::string, std::int64_t> owner;
  for (const BatchSummary& batch : ExpectConsistent(lines)) {
    const std::optional<BatchSerials> serials = BatchSerials::Of(batch.serials);
    ASSERT_TRUE(serials) << "batch " << batch.id;
    for (std::int32_t device = 0; device < batch.deviceCount; ++device) {
      const auto [where, fresh] = owner.emplace(serials->At(device), batch.id);
      EXPECT_TRUE(fresh) << where->first << " went to batches " << where->second << " and "
                         << batch.id;
    }
  }
  EXPECT_FALSE(owner.empty());
}

TEST_P(LedgerStressTest, StationsKilledMidWayLoseNothingAcknowledged) {
  StartStations(m_place.location(), "next");
  WaitForAcknowledged(100);
  for (auto& station : m_stations)
    station->Signal(SIGKILL);
  const StationLines lines = FinishStations(false);
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  EXPECT_GE(lines.ok.size(), 100u);
  const std::vector<BatchSummary> before = ExpectConsistent(lines);
  EXPECT_GE(before.size(), lines.ok.size());

  // Nothing is left locked: a station can go on at once.
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
  ASSERT_TRUE(opened) << opened.error().message;
  BatchRequest request{std::nullopt,         5,     1,           "stress", "after",
                       std::string(64, 'd'), "out", std::nullopt};
  Result<Reservation> after = opened.value()->Reserve(request);
  ASSERT_TRUE(after) << after.error().message;
  if (GetParam() == Backend::SQLite) {
    Result<SqliteDatabase> db = SqliteDatabase::Open(m_place.location().target, false);
    ASSERT_TRUE(db);
    Result<SqliteStatement> check = db->Prepare("PRAGMA integrity_check");
    ASSERT_TRUE(check);
    ASSERT_EQ(check->Step(), SQLITE_ROW);
    EXPECT_EQ(check->Text(0), "ok");
  }
}

// Stations on pools of their own (each under its pool's lock on
// PostgreSQL), two sharing a pool and two giving ranges without a pool
// (the ledger-wide lock) at once, each write's outcome recorded: no
// address given twice, and checking each batch's own devices, as `ledger
// check` does, finds that batch and nothing in its way.
TEST_P(LedgerStressTest, StationsOnTheirOwnAndSharedPoolsNeverShareAnAddress) {
  Result<std::unique_ptr<Ledger>> opened = OpenLedger(m_place.location());
  ASSERT_TRUE(opened);
  constexpr int kOwnPools = 4;
  constexpr int kEach = 25;
  for (int i = 0; i < kOwnPools; ++i) {
    const std::string name = "own-" + std::to_string(i);
    ASSERT_TRUE(opened.value()->AddPool(name, MacRange{kVendor + 0x10000 * (i + 1), 0x10000}));
    StartStation(m_place.location(),
                 {"next", std::to_string(kEach), std::to_string(3000 + i), name});
  }
  for (int i = 0; i < 2; ++i) {
    StartStation(m_place.location(),
                 {"next", std::to_string(kEach), std::to_string(3100 + i), "stress"});
    StartStation(m_place.location(), {"fixed", std::to_string(kEach), std::to_string(3200 + i)});
  }
  const StationLines lines = FinishStations(true);
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  EXPECT_EQ(lines.ok.size() + lines.refused.size(), std::size_t{(kOwnPools + 4) * kEach});
  const std::vector<BatchSummary> batches = ExpectConsistent(lines);
  for (const BatchSummary& batch : batches) {
    BatchRequest same;
    same.firstMac = batch.firstMac;
    same.deviceCount = batch.deviceCount;
    same.macsPerDevice = batch.macsPerDevice;
    same.station = batch.station;
    same.imageSha256 = std::string(64, 'c');
    same.outputFolder = "out";
    // A batch whose write never ended (the fixed stations record none) is
    // refused as in progress: the refusal names the batch itself.
    Result<Reservation> check = opened.value()->Check(same);
    if (!check) {
      ASSERT_TRUE(check.error().batch) << "batch " << batch.id << ": " << check.error().message;
      EXPECT_EQ(check.error().batch->id, batch.id) << check.error().message;
      continue;
    }
    EXPECT_TRUE(check->rewrite) << "batch " << batch.id;
    EXPECT_EQ(check->batchId, batch.id);
  }
}

INSTANTIATE_TEST_SUITE_P(BothBackends, LedgerStressTest,
                         testing::Values(Backend::SQLite, Backend::PostgreSQL), BackendName);

// A server of this test's own, durable as a production one: stopped as in
// a crash while stations record, some of them killed too, then restarted.
TEST(PostgresCrash, AServerCrashLosesNothingAcknowledged) {
  PostgresServer server = PostgresServer::Create(true);
  ASSERT_TRUE(server.running()) << server.error();
  const std::string database = server.CreateDatabase();
  ASSERT_FALSE(database.empty()) << server.error();
  const LedgerLocation location{LedgerKind::PostgreSQL, server.ConnectionString(database)};
  ASSERT_TRUE(InitLedger(location));
  ASSERT_TRUE(OpenLedger(location).value()->AddPool("stress", MacRange{kVendor, 0x10000}));

  std::vector<std::unique_ptr<ChildProcess>> stations;
  for (int i = 0; i < kStations; ++i) {
    stations.push_back(std::make_unique<ChildProcess>(CommandLine(
        QUILLMARK_LEDGER_STRESS_CLIENT,
        {location.target, "next", std::to_string(kAllocations), std::to_string(2000 + i)})));
  }
  std::size_t acknowledged = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (acknowledged < 80 && std::chrono::steady_clock::now() < deadline) {
    for (auto& station : stations) {
      if (std::optional<std::string> line = station->ReadLine(std::chrono::milliseconds(5)))
        acknowledged += line->rfind("ok ", 0) == 0 ? 1 : 0;
    }
  }
  ASSERT_GE(acknowledged, 80u);
  for (int i = 0; i < 3; ++i)
    stations[i]->Signal(SIGKILL);
  ASSERT_TRUE(server.StopImmediately()) << server.error();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  ASSERT_TRUE(server.Start()) << server.error();

  StationLines lines;
  for (std::size_t i = 0; i < stations.size(); ++i) {
    const ChildResult result = stations[i]->Finish(kChildTimeout);
    ReadLines(result.out, lines);
    if (i >= 3) {
      EXPECT_EQ(result.exitCode, 0) << result.err << result.out;
    }
  }
  EXPECT_EQ(lines.errors, std::vector<std::string>{});
  EXPECT_GE(lines.ok.size(), std::size_t{5 * kAllocations});

  Result<std::unique_ptr<Ledger>> opened = OpenLedger(location);
  ASSERT_TRUE(opened) << opened.error().message;
  std::map<std::int64_t, MacRange> recorded;
  for (const BatchDetails& details : opened.value()->Batches({}).value())
    recorded[details.batch.id] = details.batch.macs();
  for (const Acknowledged& ack : lines.ok) {
    ASSERT_TRUE(recorded.count(ack.id)) << "acknowledged batch " << ack.id << " was lost";
    EXPECT_EQ(recorded[ack.id], ack.macs);
  }
  std::vector<MacRange> ranges;
  for (const auto& [id, macs] : recorded)
    ranges.push_back(macs);
  std::sort(ranges.begin(), ranges.end(),
            [](const MacRange& a, const MacRange& b) { return a.first < b.first; });
  for (std::size_t i = 1; i < ranges.size(); ++i)
    EXPECT_LE(ranges[i - 1].end(), ranges[i].first);
}

}  // namespace
}  // namespace quillmark::test
