// The full build: label sheets (from their module) and the MAC ledger.
#include "labels_module_loader.h"
#include "ledger_command.h"
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {
      {"labels", "按清单生成设备标签的PDF", &RunLabelsModule},
      {"ledger", "MAC账本：初始化、地址池、列出、查看、检查、作废、导出", &RunLedgerCommand},
  };
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {};
}

}  // namespace quillmark::cli
