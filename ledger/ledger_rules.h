#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ledger_result.h"
#include "ledger_types.h"
#include "note_text.h"

namespace quillmark::ledger {

// What the ledger's rules read and write, inside one transaction that a
// back end holds open (and alone holds, when it writes) while they run.
class RuleStore {
 public:
  virtual Result<std::optional<Pool>> FindPool(const std::string& name) = 0;
  // The pool that holds the whole range, if one does.
  virtual Result<std::optional<Pool>> PoolHolding(const MacRange& range) = 0;
  virtual Result<bool> HasPools() = 0;
  // The lowest start in the pool from which size addresses are free, from
  // the free ranges the database keeps.
  virtual Result<std::optional<std::uint64_t>> NextFreeStart(const Pool& pool,
                                                             std::uint64_t size) = 0;
  // The same found from the batches themselves, walking every one in the
  // pool.
  virtual Result<std::optional<std::uint64_t>> NextFreeStartByScan(const Pool& pool,
                                                                   std::uint64_t size) = 0;
  // The batch of exactly these devices, voided or not.
  virtual Result<std::optional<BatchSummary>> SameDevices(std::uint64_t firstMac,
                                                          std::int32_t deviceCount,
                                                          std::int32_t macsPerDevice) = 0;
  // The writes of a batch, oldest first.
  virtual Result<std::vector<WriteRecord>> WritesOf(std::int64_t batchId) = 0;
  // The batch with the lowest addresses among those overlapping the range.
  virtual Result<std::optional<BatchSummary>> FirstOverlap(const MacRange& range) = 0;
  virtual Result<std::int64_t> InsertBatch(const BatchRequest& request, std::uint64_t firstMac,
                                           const std::string& pool, const SerialIssue& serials) = 0;
  virtual Result<std::int64_t> InsertWrite(std::int64_t batchId, const BatchRequest& request) = 0;

  // The pool with the lowest addresses among those overlapping the range.
  virtual Result<std::optional<Pool>> FirstOverlappingPool(const MacRange& range) = 0;
  virtual Result<Pool> InsertPool(const std::string& name, const MacRange& macs) = 0;
  virtual Result<std::optional<BatchSummary>> FindBatch(std::int64_t id) = 0;
  virtual Status InsertVoid(std::int64_t batchId, const std::string& reason) = 0;

  virtual Result<std::optional<Series>> FindSeries(const std::string& name) = 0;
  // The end of the highest numbers a batch took from the series; none
  // before its first batch.
  virtual Result<std::optional<std::uint64_t>> SeriesEnd(const std::string& name) = 0;
  // The batch of the series with the lowest numbers among those that
  // overlap [first, first + count).
  virtual Result<std::optional<BatchSummary>> FirstSerialOverlap(const std::string& series,
                                                                 std::uint64_t first,
                                                                 std::int64_t count) = 0;
  // The database's date, UTC: "2024-05-01".
  virtual Result<std::string> Today() = 0;
  virtual Result<Series> InsertSeries(const Series& series) = 0;

 protected:
  ~RuleStore() = default;
};

// The longest reason a rerun may give, in characters; the schema keeps
// the same limit.
inline constexpr std::size_t kMaxRerunReasonCharacters = kMaxNoteCharacters;

// The lot a batch records, wherever it is taken: empty for none.
std::optional<LedgerError> LotRefusal(const std::string& lot);

// The values a request must have before any database is asked.
std::optional<LedgerError> ValidateRequest(const BatchRequest& request);
// A date or time as listings take it: "2024-05-01" or "2024-05-01T10:22:03Z".
std::optional<LedgerError> ValidateFilter(const BatchFilter& filter);

// Decides a request: the range (the pool's next free one when no first
// address is given), its pool, then the same devices recorded before or a
// batch in the way. With record set the batch, or another write of it, is
// inserted; without, nothing is written. A range the ledger chose is never
// refused as an overlap: found taken, the ledger changed while it was read,
// and the answer is PoolBusy, to be asked again.
Result<Reservation> ApplyReservation(RuleStore& store, const BatchRequest& request, bool record);

// How many times a back end asks again, each time in a transaction of its
// own, while a range it chose is found taken meanwhile.
inline constexpr int kPlanAttempts = 5;

template <class Attempt>
Result<Reservation> PlanAgainWhileTaken(Attempt attempt) {
  for (int tried = 1;; ++tried) {
    Result<Reservation> answer = attempt();
    if (answer || answer.error().fault != LedgerFault::PoolBusy || tried == kPlanAttempts)
      return answer;
  }
}

// A new pool: a name not taken, and addresses that overlap no other pool
// and that may each start a batch (one octet 1, never octets 2 and 3 both
// ff), so the next free range is always a valid start.
Result<Pool> ApplyAddPool(RuleStore& store, const std::string& name, const MacRange& macs);

// A new series: a name not taken and a template that reads, starting at
// first (1 by default) below what the template can show.
Result<Series> ApplyAddSeries(RuleStore& store, const std::string& name,
                              const std::string& templateText, std::optional<std::uint64_t> first);

// Voids a batch once, with a reason; the batch stays and keeps its range.
Result<BatchSummary> ApplyVoid(RuleStore& store, std::int64_t batchId, const std::string& reason);

}  // namespace quillmark::ledger
