#pragma once

#include <string>
#include <vector>

#include "ledger_types.h"

namespace quillmark::ledger {

// The ledger as CSV (UTF-8, LF line ends, fields quoted where they need
// it): a header, then one row per write of each batch, the batch's own
// fields repeated on each.
std::string ExportCsv(const std::vector<BatchDetails>& batches);

}  // namespace quillmark::ledger
