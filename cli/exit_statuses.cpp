#include "exit_statuses.h"

#include "exit_codes.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

// The stop signals a run or a check ends on, as the platform names them.
ExitStatusRow StopRow(const std::string& more = "") {
  return {{kStopStatuses[0], kStopStatuses[1], kStopStatuses[2]}, kStopStatusesHelpText + more};
}

}  // namespace

std::vector<ExitStatusRow> ExitStatuses(ExitTable command) {
  switch (command) {
    case ExitTable::Write:
      return {{{kExitSuccess}, "每台设备的文件都已写入"},
              {{kExitRejected}, "请求被拒绝（信息在标准错误输出），未写入任何设备文件"},
              {{kExitUsage}, "命令行用法错误"},
              {{kExitRunFailed},
               "运行中出现错误（最后一行是最后一个错误），\n或本批次在写入期间被账本作废（标准错误"
               "输出上有警告）"},
              StopRow()};
    case ExitTable::Verify:
      return {{{kExitSuccess}, "每台设备的文件都完好"},
              {{kExitRejected}, "请求或清单被拒绝（信息在标准错误输出），未校验任何文件"},
              {{kExitUsage}, "命令行用法错误"},
              {{kExitRunFailed},
               "有设备的文件不完好，或发现MAC地址重复的文件，\n或有不属于本批的 fw_*.img "
               "文件（未给出 --allow-other-files）"},
              StopRow("（总结说明校验到哪里）")};
    case ExitTable::Labels:
      return {{{kExitSuccess}, "PDF或ZPL已写入，或ZPL已全部发送到打印机"},
              {{kExitRejected},
               "清单有误、条码或文字放不下、文件无法写入、打印机无法连接或\n"
               "发送中断（信息在标准错误输出），未留下任何文件"},
              {{kExitUsage}, "命令行用法错误"}};
    case ExitTable::Ledger:
      return {{{kExitSuccess}, "完成"},
              {{kExitRejected}, "被账本拒绝或账本无法访问"},
              {{kExitUsage}, "命令行用法错误"}};
  }
  return {};
}

std::string ExitStatusSection(ExitTable command) {
  std::string section = "退出状态:\n";
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
  std::string line = "退出状态:";
  const char* separator = " ";
  for (const ExitStatusRow& row : ExitStatuses(command)) {
    line += separator + std::to_string(row.statuses.front()) + " " + row.text;
    separator = "；";
  }
  return line + "\n";
}

}  // namespace quillmark::cli
