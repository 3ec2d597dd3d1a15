#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli ledger init|pool add|pool list|list|show|check|void|export:
// the MAC ledger's own commands. Returns the process exit status.
int RunLedgerCommand(const std::vector<std::string>& args);

std::string LedgerHelpText();

}  // namespace quillmark::cli
