// Shared by the program and the label module, which prints its usage
// errors the same way.
#include <cstdio>

#include "console_text.h"
#include "exit_codes.h"
#include "usage_error.h"

namespace quillmark::cli {

int ReportUsageError(const std::string& text) {
  WriteText(stderr, "quillmark-cli: " + text + "\n");
  return kExitUsage;
}

}  // namespace quillmark::cli
