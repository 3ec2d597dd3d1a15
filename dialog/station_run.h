#pragma once

#include <optional>
#include <string>

#include "batch_ledger.h"
#include "job_acceptance.h"

namespace quillmark {

// The fields' texts when the dialog opens: the request's defaults, with
// the station configuration's where it has them. A configuration in
// error is said by the start command, which refuses to run with it.
JobRequestTexts InitialFieldTexts();

// What a start takes from the station configuration, read afresh at each
// start: the ledger QUILLMARK_LEDGER or the configuration names (none
// when neither names one) with the station, pool and lot. The refusal
// when the configuration is in error.
struct StationRunSetting {
  LedgerRequest ledger;
  std::optional<std::string> refusal;
};
StationRunSetting StationRunSettingNow();

}  // namespace quillmark
