// The Windows build: the MAC ledger, but no label sheets (libzint and
// cairo are not built for Windows here).
#include "interface_text.h"
#include "ledger_command.h"
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {
      {"ledger",
       std::string(Pick({"MAC账本：初始化、地址池、列出、查看、检查、作废、导出",
                         "the MAC ledger: set up, pools, list, show, check,\nvoid, export"})),
       &RunLedgerCommand},
  };
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {"labels"};
}

}  // namespace quillmark::cli
