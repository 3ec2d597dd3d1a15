// quillmark-cli: the dialog's batch for scripts and production lines.
#include <cstdio>
#include <exception>
#include <string>

#include "exit_codes.h"
#include "generation_commands.h"
#include "options.h"
#include "signals.h"
#include "utf8_text.h"

namespace {

int Run(int argc, const char* const* argv) {
  using namespace quillmark::cli;
  IgnoreWriteSignals();
  const ParsedCommandLine parsed = ParseCommandLine(argc, argv);
  switch (parsed.action) {
    case CommandLineAction::ShowHelp:
      std::fputs(HelpText().c_str(), stdout);
      return kExitSuccess;
    case CommandLineAction::ShowVersion:
      std::fputs(VersionText().c_str(), stdout);
      return kExitSuccess;
    case CommandLineAction::UsageError:
      std::fprintf(stderr, "quillmark-cli: %s\n", ToValidUtf8(parsed.error).c_str());
      return kExitUsage;
    case CommandLineAction::Run:
      break;
  }
  return parsed.options.dryRun ? RunDryRun(parsed.options) : RunGeneration(parsed.options);
}

}  // namespace

int main(int argc, char** argv) {
  // The tool's own code throws nothing; this catches what the standard
  // library may throw (running out of memory) at the one edge.
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmark-cli: %s\n", error.what());
    return quillmark::cli::kExitRunFailed;
  }
}
