#pragma once

#include <string>

namespace quillmark::cli {

// Prints "quillmark-cli: TEXT" on standard error; returns the usage exit status.
int ReportUsageError(const std::string& text);

}  // namespace quillmark::cli
