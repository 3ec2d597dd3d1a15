#pragma once

#include <string>
#include <vector>

#include "station_config.h"
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
// judges the dialog's fields. The station configuration's values stand
// where no option is given.
ParsedCommandLine ParseWriteCommandLine(const std::vector<std::string>& args,
                                        const StationConfig& config = {});

// The help page of quillmark-cli without a subcommand.
std::string WriteHelpText();

// quillmark-cli without a subcommand: the batch, or its plan with
// --dry-run. Returns the process exit status.
int RunWriteCommand(const std::vector<std::string>& args);

}  // namespace quillmark::cli
