#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli labels: a PDF of device labels from a batch manifest.
// Returns the process exit status.
int RunLabelsCommand(const std::vector<std::string>& args);

std::string LabelsHelpText();

}  // namespace quillmark::cli
