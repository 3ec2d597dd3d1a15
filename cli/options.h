#pragma once

#include <string>

#include "job_acceptance.h"

namespace quillmark::cli {

struct CliOptions {
  // The dialog's defaults; the image has none.
  JobRequestTexts texts{"04:57:55:00:00:00", "255", "1", "", "out"};
  bool hasManifest = false;
  std::string manifestPath;
  bool dryRun = false;
  bool quiet = false;
  bool durable = false;
};

enum class CommandLineAction { Run, ShowHelp, ShowVersion, UsageError };

struct ParsedCommandLine {
  CommandLineAction action = CommandLineAction::UsageError;
  CliOptions options;
  std::string error;  // one line, for a usage error
};

// Reads the command line. The values of the request are kept as the raw
// texts given, so that the core judges them exactly as it judges the
// dialog's fields.
ParsedCommandLine ParseCommandLine(int argc, const char* const* argv);

std::string HelpText();
std::string VersionText();

}  // namespace quillmark::cli
