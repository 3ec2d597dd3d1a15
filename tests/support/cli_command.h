#pragma once

// The built quillmark-cli as a child process. A test target that includes
// this defines QUILLMARK_CLI_PATH as the tool's path.

#include <chrono>
#include <string>
#include <vector>

#include "child_process.h"

#ifndef QUILLMARK_CLI_PATH
#error "QUILLMARK_CLI_PATH must name the quillmark-cli under test"
#endif

namespace quillmark::test {

// The tool under test with the given arguments, and that run to its end.
inline std::vector<std::string> CliCommand(const std::vector<std::string>& args) {
  return CommandLine(QUILLMARK_CLI_PATH, args);
}
inline ChildResult RunCli(const std::vector<std::string>& args, const ChildOptions& options = {},
                          std::chrono::milliseconds timeout = kChildTimeout) {
  return RunChild(CliCommand(args), options, timeout);
}

}  // namespace quillmark::test
