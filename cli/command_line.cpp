#include "command_line.h"

#include <cstdio>
#include <exception>

#include "console_text.h"
#include "exit_codes.h"
#include "interface_text.h"
#include "optional_commands.h"
#include "quillmark_version.h"
#include "signals.h"
#include "standard_streams.h"
#include "station_config.h"
#include "usage_error.h"
#include "verify_command.h"
#include "write_command.h"

namespace quillmark::cli {
namespace {

int Dispatch(const std::vector<std::string>& args) {
  if (!args.empty()) {
    for (const Subcommand& subcommand : Subcommands()) {
      if (args.front() == subcommand.name)
        return subcommand.run(std::vector<std::string>(args.begin() + 1, args.end()));
    }
    for (const std::string_view missing : SubcommandsNotBuilt()) {
      if (args.front() == missing)
        return ReportUsageError(Fill({"%1 子命令在此版本中不可用（构建时未包含其所需的库）",
                                      "the %1 subcommand is not in this build (the libraries "
                                      "it needs were not built in)"},
                                     {missing}));
    }
  }
  return RunWriteCommand(args);
}

}  // namespace

std::vector<Subcommand> Subcommands() {
  std::vector<Subcommand> subcommands = {
      {"verify",
       std::string(Pick({"读回一批镜像文件并逐台校验",
                         "read a batch's image files back and check each device"})),
       &RunVerifyCommand},
  };
  for (const Subcommand& optional : OptionalSubcommands())
    subcommands.push_back(optional);
  return subcommands;
}

int RunCommandLine(int argc, const char* const* argv) {
  // The tool's own code throws nothing; this catches what the standard
  // library may throw (running out of memory) at the one edge.
  try {
    if (!OpenClosedStandardStreams()) {
      std::fputs(Fill({"quillmark-cli: 无法在关闭的标准输入输出上打开 /dev/null\n",
                       "quillmark-cli: cannot open /dev/null on the closed standard streams\n"},
                      {})
                     .c_str(),
                 stderr);
      return kExitRejected;
    }
    PrepareStandardStreams();
    IgnoreWriteSignals();
    // Before any text: every line of the run in the language chosen.
    if (const std::string refused = ChooseStationLanguage(); !refused.empty())
      return FinishStandardOutput(ReportUsageError(refused));
    return FinishStandardOutput(
        Dispatch(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc)));
  } catch (const std::exception& error) {
    WriteText(stderr, std::string("quillmark-cli: ") + error.what() + "\n");
    return kExitRunFailed;
  }
}

int FinishStandardOutput(int status) {
  // A full disk or a closed pipe may show only at the flush or the close.
  const bool written = std::ferror(stdout) == 0 && !StandardOutputWriteFailed();
  const bool flushed = std::fflush(stdout) == 0;
  const bool closed = std::fclose(stdout) == 0;
  if (written && flushed && closed)
    return status;
  WriteText(stderr,
            std::string(Pick({"标准输出写入出错！\n", "Writing to standard output failed.\n"})));
  return status == kExitSuccess ? kExitRunFailed : status;
}

std::string VersionText() {
  return "quillmark-cli " QUILLMARK_VERSION "\n";
}

}  // namespace quillmark::cli
