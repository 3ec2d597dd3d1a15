#pragma once

#include <string>
#include <vector>

#include "ledger.h"

namespace quillmark::ledger {

// What `quillmark-cli ledger …` prints: one line per pool or batch, and a
// batch's every write for `show`.
std::string InitText(const std::string& shownLocation, const InitReport& report);
std::string PoolListing(const std::vector<Pool>& pools);
std::string BatchListing(const std::vector<BatchDetails>& batches);
std::string BatchDetailsText(const BatchDetails& details);
// What a check found: the range, and whether it is new or another write.
std::string CheckText(const Reservation& verdict);

}  // namespace quillmark::ledger
