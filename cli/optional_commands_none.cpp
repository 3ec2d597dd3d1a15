// A build without label sheets and the MAC ledger (Windows: their
// libraries are not built for it).
#include "optional_commands.h"

namespace quillmark::cli {

std::vector<Subcommand> OptionalSubcommands() {
  return {};
}

std::vector<std::string_view> SubcommandsNotBuilt() {
  return {"labels", "ledger"};
}

}  // namespace quillmark::cli
