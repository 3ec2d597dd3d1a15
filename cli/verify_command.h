#pragma once

#include <string>
#include <vector>

#include "platform_file.h"

namespace quillmark::cli {

// quillmark-cli verify: reads a written batch back and proves every
// device's file. Returns the process exit status.
int RunVerifyCommand(const std::vector<std::string>& args);
// The same on the files given (a test's, to act at a chosen moment).
int RunVerifyCommand(const std::vector<std::string>& args, PlatformFiles& files);

// Its help page.
std::string VerifyHelpText();

}  // namespace quillmark::cli
