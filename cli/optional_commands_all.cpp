// The full build: label sheets (from their module) and the MAC ledger.
#include "interface_text.h"
#include "labels_module_loader.h"
#include "ledger_command.h"
#include "ledger_words.h"
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {
      {"labels",
       std::string(Pick({"按清单生成设备标签的PDF", "make the devices' labels from a manifest"})),
       &RunLabelsModule},
      {"ledger", LedgerSummary(), &RunLedgerCommand},
  };
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {};
}

}  // namespace quillmark::cli
