#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli labels: opens the label module and runs the subcommand in
// it. Without the module (or with one of another build) it prints one line
// naming the package to install and returns the usage status.
int RunLabelsModule(const std::vector<std::string>& args);

}  // namespace quillmark::cli
