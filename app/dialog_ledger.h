#pragma once

#include <memory>
#include <string>

#include "batch_writer.h"
#include "job_acceptance.h"
#include "run_ledger.h"

namespace quillmark {

// The MAC ledger as the dialog uses it: only when QUILLMARK_LEDGER names
// one in its environment, asked once the start request has passed every
// other check, told the outcome when the run ends.
struct DialogLedger {
  std::shared_ptr<ledger::RunLedger> ledger;  // none: the run uses no ledger
  std::string refusal;                        // one line, when the ledger refused the batch
};

// Reserves the accepted job's batch in the ledger QUILLMARK_LEDGER names
// (an empty or unset variable names none), as the station of this host.
DialogLedger ReserveInDialogLedger(const GenerationJob& job);

// The outcome of the run; an empty text once it is recorded, else the
// line that says why not.
std::string RecordDialogOutcome(ledger::RunLedger& ledger, const BatchOutcome& outcome);

}  // namespace quillmark
