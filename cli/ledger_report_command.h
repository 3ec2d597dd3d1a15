#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli ledger report --html FILE [--pool NAME] [--since DATE]:
// the ledger as one HTML page for a supervisor. Returns the exit status.
int RunLedgerReportCommand(const std::vector<std::string>& args);

}  // namespace quillmark::cli
