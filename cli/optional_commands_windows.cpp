// The Windows build: the MAC ledger, but no label sheets (libzint and
// cairo are not built for Windows here).
#include "ledger_command.h"
#include "ledger_words.h"
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {
      // The same words as the full build's, from the one table of them.
      {"ledger", LedgerSummary(), &RunLedgerCommand},
  };
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {"labels"};
}

}  // namespace quillmark::cli
