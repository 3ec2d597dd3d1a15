#pragma once

#include <optional>

#include "job_acceptance.h"
#include "run_ledger.h"
#include "write_options.h"

namespace quillmark::cli {

// The ledger's steps in a write. Each refusal is printed as one line on
// standard error before it returns.
class WriteLedger {
 public:
  // Opens the ledger the options name; false after a refusal.
  bool Open(const WriteOptions& options);
  bool used() const { return m_ledger.has_value(); }

  // A dry run's question: would the ledger record the job's batch? With
  // --start-mac=next the job takes the range it would get. Prints the
  // answer on standard error (standard output holds the plan).
  bool Check(GenerationJob& job);
  // With --start-mac=next: the range the ledger would give now, so that the
  // checks before device 1 judge the files of that range.
  bool PlanNextFree(GenerationJob& job);
  // Records the batch before device 1; with --start-mac=next the job
  // takes the range recorded. Prints the range recorded unless quiet (a
  // range the ledger chose is always printed).
  bool Reserve(GenerationJob& job, bool quiet);
  // The run's end; a failure to record it is said on standard error.
  void RecordOutcome(const BatchOutcome& outcome);

 private:
  std::optional<ledger::RunLedger> m_ledger;
  bool m_nextFree = false;
  bool m_reserved = false;
};

// The request's texts as the acceptance reads them: --start-mac=next
// stands for a range the ledger chooses later, so any valid start does.
JobRequestTexts AcceptanceTexts(const WriteOptions& options);

}  // namespace quillmark::cli
