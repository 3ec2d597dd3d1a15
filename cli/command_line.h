#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "usage_error.h"

namespace quillmark::cli {

// A subcommand: "quillmark-cli NAME ARGS…" runs run(ARGS…), which returns
// the process exit status.
struct Subcommand {
  std::string_view name;
  std::string summary;  // its row in the help's list of subcommands ('\n' between lines)
  int (*run)(const std::vector<std::string>& args);
};

// Every subcommand, in the order the help lists them.
std::vector<Subcommand> Subcommands();

// The whole tool: the subcommand named by the first argument, or else the
// write command with every argument.
int RunCommandLine(int argc, const char* const* argv);

// Every command ends here: standard output is checked, flushed and
// closed, and a failure of any write to it, of the flush or of the close
// prints "标准输出写入出错！" on standard error and turns a success into
// the run's failure status (a command's own failure status stays).
int FinishStandardOutput(int status);

std::string VersionText();

}  // namespace quillmark::cli
