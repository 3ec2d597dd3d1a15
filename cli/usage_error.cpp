// Shared by the program and the label module, which prints its usage
// errors the same way.
#include <cstdio>

#include "command_line.h"
#include "console_text.h"
#include "exit_codes.h"

namespace quillmark::cli {

int ReportUsageError(const std::string& text) {
  WriteText(stderr, "quillmark-cli: " + text + "\n");
  return kExitUsage;
}

}  // namespace quillmark::cli
