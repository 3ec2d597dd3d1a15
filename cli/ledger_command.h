#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli ledger WORD …: the MAC ledger's own commands, one for each
// word of LedgerWords(). Returns the process exit status.
int RunLedgerCommand(const std::vector<std::string>& args);

std::string LedgerHelpText();

// Fills an empty location with the configured one: QUILLMARK_LEDGER, else
// the station configuration's (left empty when neither names one).
// Returns the configuration's refusal, or "".
std::string FillConfiguredLedger(std::string& location);

}  // namespace quillmark::cli
