#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "batch_writer.h"
#include "job_acceptance.h"
#include "ledger.h"

namespace quillmark::ledger {

// What a front end asks of the ledger for its runs.
struct RunLedgerSettings {
  LedgerLocation location;
  std::string station;    // empty: the host name
  std::string pool;       // empty: whichever pool holds the batch
  bool nextFree = false;  // the pool's lowest free range instead of the job's start
  std::optional<std::int64_t> rerunBatch;   // a batch written again on purpose
  std::string lot;                          // recorded with a new batch; empty: none
  std::string rerunReason = std::string();  // why, with rerunBatch
  std::string series = std::string();       // the serial series of a new batch; empty: none
};

// The ledger's part in one run of the batch writer: asked once before
// device 1, told the outcome once at the end. The connection stays open
// between the two, but no transaction does.
class RunLedger {
 public:
  static Result<RunLedger> Open(const RunLedgerSettings& settings);

  // What Reserve would answer now, for the accepted job; changes nothing.
  // With nextFree, the range it would take.
  Result<Reservation> Check(const GenerationJob& job);
  // Records the job's batch (or another write of it) as reserved. With
  // nextFree the ledger picks the range: the caller then writes from its
  // first address.
  Result<Reservation> Reserve(const GenerationJob& job);
  // Once, after a successful Reserve.
  Status RecordOutcome(const BatchOutcome& outcome);
  // After a successful Reserve: the batch when it has been voided since
  // (the reservation refuses a void batch), none while it stands.
  Result<std::optional<BatchSummary>> VoidedBatch();

  const std::string& station() const { return m_station; }

  // After Check or Reserve refused this job: when the batch in the way
  // was stopped on its last write and first written from this image, the
  // line that says how to finish it (the same batch again into its
  // folder, which the ledger takes as another write); else "".
  std::string FinishingHint(const LedgerError& refusal);

 private:
  RunLedger(std::unique_ptr<Ledger> ledger, RunLedgerSettings settings, std::string station);
  BatchRequest Request(const GenerationJob& job);

  std::unique_ptr<Ledger> m_ledger;
  RunLedgerSettings m_settings;
  std::string m_station;
  std::string m_digest;  // of the job's image, taken once
  std::int64_t m_batchId = 0;
  std::int64_t m_writeId = 0;
};

// The line a front end shows before device 1: the range recorded, and
// whether it is a new batch or another write of one.
std::string ReservationText(const Reservation& reservation);

// How a run ended, as the ledger records it.
WriteOutcome OutcomeOf(const BatchOutcome& outcome);

}  // namespace quillmark::ledger
