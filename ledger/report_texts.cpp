#include "report_texts.h"

namespace quillmark::ledger {

const ReportTexts& ChineseReportTexts() {
  static const ReportTexts texts{
      .language = "zh-CN",
      .title = "MAC地址账本报告",
      .poolsHeading = "地址池使用情况",
      .noPools = "账本中没有地址池。",
      .usageNames = {"已完成", "已预留未完成", "已作废", "空闲"},
      .addresses = "个地址",
      .used = "已用地址",
      .free = "空闲地址",
      .percentUsed = "使用率",
      .largestFree = "最大空闲范围",
      .nextFree = "下一个空闲起始地址",
      .none = "无",
      .to = " 至 ",
      .devicesHeading = "每日各工位写入的设备数",
      .noDevices = "此期间没有写入设备。",
      .devicesAxis = "台",
      .batchesHeading = "此期间的批次（最新在前）",
      .noBatches = "此期间没有批次。",
      .columns = {"批次", "地址范围", "工位", "映像摘要", "输出目录", "记录时间", "结果",
                  "重写次数", "作废"},
      .endings = {"未记录结果", "已完成", "已停止", "失败"},
      .voided = "已作废",
      .tableCut =
          "仅列出最新的 %1 个批次，此期间共 %2 个；完整列表见 quillmark-cli ledger list "
          "或 ledger export。",
      .ledgerLocation = "账本",
      .reportTime = "报告时间",
      .version = "程序版本",
  };
  return texts;
}

}  // namespace quillmark::ledger
