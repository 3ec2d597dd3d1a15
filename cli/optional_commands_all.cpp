// The full build: label sheets (from their module) and the MAC ledger.
#include "interface_text.h"
#include "labels_module_loader.h"
#include "ledger_command.h"
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {
      {"labels", Pick({"按清单生成设备标签的PDF", "make the devices' labels from a manifest"}),
       &RunLabelsModule},
      {"ledger",
       Pick({"MAC账本：初始化、地址池、列出、查看、检查、作废、导出",
             "the MAC ledger: set up, pools, list, show, check,\nvoid, export"}),
       &RunLedgerCommand},
  };
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {};
}

}  // namespace quillmark::cli
