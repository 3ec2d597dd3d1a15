#pragma once

#include <string>
#include <vector>

#include "write_options.h"

namespace quillmark::cli {

enum class CommandLineAction { Run, ShowHelp, ShowVersion, UsageError };

struct ParsedCommandLine {
  CommandLineAction action = CommandLineAction::UsageError;
  WriteOptions options;
  std::string error;  // one line, for a usage error
};

// Reads the write command's arguments. The values of the request are kept
// as the raw texts given, so that the core judges them exactly as it
// judges the dialog's fields.
ParsedCommandLine ParseWriteCommandLine(const std::vector<std::string>& args);

// The help page of quillmark-cli without a subcommand.
std::string WriteHelpText();

// quillmark-cli without a subcommand: the batch, or its plan with
// --dry-run. Returns the process exit status.
int RunWriteCommand(const std::vector<std::string>& args);

}  // namespace quillmark::cli
