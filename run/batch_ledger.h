#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "batch_writer.h"
#include "job_acceptance.h"
#include "run_ledger.h"
#include "station_config.h"

namespace quillmark {

// Whether a run records its batch in the MAC ledger, and where.
struct LedgerRequest {
  bool use = false;
  std::string location;   // a SQLite file, "default" or a PostgreSQL connection string
  std::string station;    // empty: the host name
  std::string pool;       // empty: whichever pool holds the batch
  bool nextFree = false;  // the pool's lowest free range instead of the job's start
  std::optional<std::int64_t> rerunBatch;   // a batch written again on purpose
  std::string lot;                          // the production lot; empty: none
  std::string rerunReason = std::string();  // why, with rerunBatch
  std::string series = std::string();       // the serial series of a new batch; empty: none
};

// The ledger a front end uses when no option names one: the one
// QUILLMARK_LEDGER names (the one place that variable is read), else the
// station configuration's; none when neither names one. The variable wins
// so that a script or a test can point one run elsewhere.
std::optional<std::string> ConfiguredLedgerLocation(const StationConfig& config);

// A ledger step's answer: a refusal (ok false), or the line a front end
// may show (empty when there is none).
struct LedgerAnswer {
  bool ok = true;
  std::string line;
  // With a refusal: the line a front end may show just before it, such
  // as how to finish a stopped batch that stands in the way.
  std::string detail = {};
};

// The ledger's steps in a run, in the order BatchRun takes them.
class BatchLedger {
 public:
  // Opens the ledger the request names; nothing when it names none.
  LedgerAnswer Open(const LedgerRequest& request);
  bool used() const { return m_ledger.has_value(); }
  bool nextFree() const { return m_nextFree; }
  // The batch Reserve recorded (or wrote again), or the one a check found
  // the job would write again; 0 for none.
  std::int64_t batchId() const { return m_batchId; }

  // A dry run's question: would the ledger record the job's batch? With
  // nextFree the job takes the range it would get. The line is the answer.
  LedgerAnswer Check(GenerationJob& job);
  // With nextFree: the range the ledger would give now, so that the checks
  // before device 1 judge the files of that range.
  LedgerAnswer PlanNextFree(GenerationJob& job);
  // Records the batch before device 1; with nextFree the job takes the
  // range recorded. The line says the range recorded.
  LedgerAnswer Reserve(GenerationJob& job);
  // The run's end, once after Reserve; "" once recorded, else the line
  // that says why not.
  std::string RecordOutcome(const BatchOutcome& outcome);
  // After the batch was written: whether it was voided meanwhile, and the
  // warning that says so (or the line that says the ledger could not
  // tell).
  struct VoidAnswer {
    bool voided = false;
    std::string line;
  };
  VoidAnswer VoidedDuringWrite();

 private:
  std::optional<ledger::RunLedger> m_ledger;
  bool m_nextFree = false;
  bool m_reserved = false;
  std::int64_t m_batchId = 0;
  bool m_wasReserved = false;
};

}  // namespace quillmark
