#include "command_line.h"

#include <cstdio>
#include <exception>

#include "exit_codes.h"
#include "labels_command.h"
#include "ledger_command.h"
#include "quillmark_version.h"
#include "signals.h"
#include "standard_streams.h"
#include "utf8_text.h"
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
  }
  return RunWriteCommand(args);
}

}  // namespace

std::vector<Subcommand> Subcommands() {
  return {
      {"verify", "读回一批映像文件并逐台校验", &RunVerifyCommand},
      {"labels", "按清单生成设备标签的PDF", &RunLabelsCommand},
      {"ledger", "MAC账本：初始化、地址池、列出、查看、检查、作废、导出", &RunLedgerCommand},
  };
}

int RunCommandLine(int argc, const char* const* argv) {
  // The tool's own code throws nothing; this catches what the standard
  // library may throw (running out of memory) at the one edge.
  try {
    if (!OpenClosedStandardStreams()) {
      std::fputs("quillmark-cli: 无法在关闭的标准输入输出上打开 /dev/null\n", stderr);
      return kExitRejected;
    }
    IgnoreWriteSignals();
    return Dispatch(std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc));
  } catch (const std::exception& error) {
    std::fprintf(stderr, "quillmark-cli: %s\n", error.what());
    return kExitRunFailed;
  }
}

int ReportUsageError(const std::string& text) {
  std::fprintf(stderr, "quillmark-cli: %s\n", ToValidUtf8(text).c_str());
  return kExitUsage;
}

std::string VersionText() {
  return "quillmark-cli " QUILLMARK_VERSION "\n";
}

}  // namespace quillmark::cli
