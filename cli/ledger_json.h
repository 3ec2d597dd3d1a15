#pragma once

#include <string>
#include <vector>

#include "ledger.h"

namespace quillmark::cli {

// What `quillmark-cli ledger … --json` prints instead of its listings:
// JSON Lines, one object per pool, batch or exported row.
std::string InitJson(const std::string& shownLocation, const ledger::InitReport& report);
std::string PoolsJson(const std::vector<ledger::Pool>& pools);
// One object per batch; with writes, each carries its writes, oldest first.
std::string BatchesJson(const std::vector<ledger::BatchDetails>& batches, bool withWrites);
// The export's rows, one object per write (one per batch never written)
// with the CSV's column names; an empty field is null.
std::string ExportJson(const std::vector<ledger::BatchDetails>& batches);
std::string CheckJson(const ledger::Reservation& verdict);
std::string SeriesJson(const std::vector<ledger::Series>& series);

}  // namespace quillmark::cli
