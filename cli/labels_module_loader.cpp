#include "labels_module_loader.h"

#include <cstdio>

#include "console_text.h"
#include "exit_codes.h"
#include "labels_module.h"
#include "module_loader.h"

namespace quillmark::cli {

int RunLabelsModule(const std::vector<std::string>& args) {
  const modules::LoadedModule module = modules::LoadModule({
      .fileName = labels::kLabelsModuleFile,
      .entrySymbol = labels::kLabelsModuleEntry,
      .what = {"标签模块", "label module"},
      .package = "quillmark-labels",
  });
  if (module.status != modules::ModuleStatus::Loaded) {
    WriteText(stderr, "quillmark-cli: " + module.error + "\n");
    return kExitUsage;
  }
  // The header is the table's first member; its fields matched this build.
  const auto* entry = static_cast<const labels::LabelsModuleEntry*>(module.entry);
  return entry->runLabelsCommand(args);
}

}  // namespace quillmark::cli
