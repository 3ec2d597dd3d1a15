#include "exit_statuses.h"

#include "exit_codes.h"
#include "option_table.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

// The stop signals a run or a check ends on, as the platform names them.
ExitStatusRow StopRow(std::string_view more = "") {
  return {{kStopStatuses[0], kStopStatuses[1], kStopStatuses[2]},
          std::string(kStopStatusesHelpText) + std::string(more)};
}

std::string Say(const InterfaceText& text) {
  return std::string(text.Shown());
}

std::string UsageRowText() {
  return Say({"命令行用法错误", "the command line was used wrongly"});
}

}  // namespace

std::vector<ExitStatusRow> ExitStatuses(ExitTable command) {
  switch (command) {
    case ExitTable::Write:
      return {
          {{kExitSuccess}, Say({"每台设备的文件都已写入", "every device's file was written"})},
          {{kExitRejected},
           Say({"请求被拒绝（信息在标准错误输出），未写入任何设备文件",
                "the request was refused (see standard error); no device file was "
                "written"})},
          {{kExitUsage}, UsageRowText()},
          {{kExitRunFailed},
           Say({"运行中出现错误（最后一行是最后一个错误），\n或本批次在写入期间被账本作废（标准错误"
                "输出上有警告）",
                "an error during the run (the last line is the last error), or\n"
                "the ledger voided this batch while it was written (a warning on\n"
                "standard error)"})},
          StopRow()};
    case ExitTable::Verify:
      return {
          {{kExitSuccess}, Say({"每台设备的文件都完好", "every device's file is exact"})},
          {{kExitRejected},
           Say({"请求或清单被拒绝（信息在标准错误输出），未校验任何文件",
                "the request or the manifest was refused (see standard error); no\n"
                "file was checked"})},
          {{kExitUsage}, UsageRowText()},
          {{kExitRunFailed},
           Say({"有设备的文件不完好，或发现MAC地址重复的文件，\n或有不属于本批的 fw_*.img "
                "文件（未给出 --allow-other-files）",
                "a device's file is not exact, a file holds a MAC address of the\n"
                "batch, or there are fw_*.img files not of this batch (without\n"
                "--allow-other-files)"})},
          StopRow(Pick({"（总结说明校验到哪里）", "\n(the summary says how far the check got)"}))};
    case ExitTable::Labels:
      return {{{kExitSuccess},
               Say({"PDF或ZPL已写入，或ZPL已全部发送到打印机",
                    "the PDF or ZPL was written, or all the ZPL was sent to the printer"})},
              {{kExitRejected},
               Say({"清单有误、条码或文字放不下、文件无法写入、打印机无法连接或\n"
                    "发送中断（信息在标准错误输出），未留下任何文件",
                    "a wrong manifest, a code or text that does not fit, a file that\n"
                    "cannot be written, a printer not reached or a send cut off (see\n"
                    "standard error); no file is left behind"})},
              {{kExitUsage}, UsageRowText()}};
    case ExitTable::Ledger:
      return {{{kExitSuccess}, Say({"完成", "done"})},
              {{kExitRejected},
               Say({"被账本拒绝或账本无法访问",
                    "refused by the ledger, or the ledger cannot be reached"})},
              {{kExitUsage}, UsageRowText()}};
  }
  return {};
}

std::string ExitStatusSection(ExitTable command) {
  std::string section(Pick({"退出状态:\n", "Exit status:\n"}));
  for (const ExitStatusRow& row : ExitStatuses(command)) {
    std::string status = std::to_string(row.statuses.front());
    status.resize(5, ' ');
    section += "  " + status;
    for (const char c : row.text)
      section += c == '\n' ? std::string("\n       ") : std::string(1, c);
    section += '\n';
  }
  return section;
}

std::string ExitStatusLine(ExitTable command) {
  const std::string lead(Pick({"退出状态:", "Exit status:"}));
  const std::size_t indent = TerminalColumns(lead) + 1;
  std::string line = lead;
  std::size_t column = indent - 1;
  bool first = true;
  for (const ExitStatusRow& row : ExitStatuses(command)) {
    const std::string item = std::to_string(row.statuses.front()) + " " + row.text;
    std::string separator = first ? " " : std::string(Pick({"；", "; "}));
    // A row that would pass the terminal's edge starts a line of its own,
    // under the first row.
    if (!first && column + TerminalColumns(separator + item) > kTerminalColumns) {
      separator = std::string(Pick({"；", ";"})) + "\n" + std::string(indent, ' ');
      column = indent;
    } else {
      column += TerminalColumns(separator);
    }
    line += separator + item;
    column += TerminalColumns(item);
    first = false;
  }
  return line + "\n";
}

}  // namespace quillmark::cli
