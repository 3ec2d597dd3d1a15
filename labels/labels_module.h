#pragma once

#include <string>
#include <vector>

#include "module_interface.h"

// The label module's entry table: quillmark-cli labels runs the whole
// subcommand inside the module, so cairo, libzint and fontconfig load only
// when a sheet is asked for.
namespace quillmark::labels {

inline constexpr const char* kLabelsModuleFile = "quillmark-labels.so";
inline constexpr const char* kLabelsModuleEntry = "quillmark_labels_module";

struct LabelsModuleEntry {
  modules::ModuleHeader header;  // first: checked before anything else
  // quillmark-cli labels ARGS…; returns the process exit status.
  int (*runLabelsCommand)(const std::vector<std::string>& args);
};

}  // namespace quillmark::labels
