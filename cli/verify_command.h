#pragma once

#include <string>
#include <vector>

namespace quillmark::cli {

// quillmark-cli verify: reads a written batch back and proves every
// device's file. Returns the process exit status.
int RunVerifyCommand(const std::vector<std::string>& args);

// Its help page.
std::string VerifyHelpText();

}  // namespace quillmark::cli
