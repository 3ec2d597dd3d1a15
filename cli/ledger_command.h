#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli ledger init|pool add|pool list|list|show|check|void|export:
// the MAC ledger's own commands. Returns the process exit status.
int RunLedgerCommand(const std::vector<std::string>& args);

std::string LedgerHelpText();

// Fills an empty location with the configured one: QUILLMARK_LEDGER, else
// the station configuration's (left empty when neither names one).
// Returns the configuration's refusal, or "".
std::string FillConfiguredLedger(std::string& location);

}  // namespace quillmark::cli
