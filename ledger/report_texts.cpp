#include "report_texts.h"

#include "interface_text.h"

namespace quillmark::ledger {
namespace {

ReportTexts TextsIn(InterfaceLanguage language) {
  // Each text is a literal, so the view's data ends in its zero.
  const auto t = [language](const InterfaceText& text) { return text.In(language).data(); };
  return ReportTexts{
      .language = t({"zh-CN", "en"}),
      .title = t({"MAC地址账本报告", "MAC address ledger report"}),
      .poolsHeading = t({"地址池使用情况", "Address pools"}),
      .noPools = t({"账本中没有地址池。", "The ledger has no address pools."}),
      .usageNames = {t({"已完成", "finished"}), t({"已预留未完成", "reserved, not finished"}),
                     t({"已作废", "void"}), t({"空闲", "free"})},
      .addresses = t({"个地址", " addresses"}),
      .used = t({"已用地址", "Addresses used"}),
      .free = t({"空闲地址", "Free addresses"}),
      .percentUsed = t({"使用率", "Share used"}),
      .largestFree = t({"最大空闲范围", "Largest free range"}),
      .nextFree = t({"下一个空闲起始地址", "Next free start address"}),
      .none = t({"无", "none"}),
      .to = t({" 至 ", " to "}),
      .devicesHeading = t({"每日各工位写入的设备数", "Devices written per day and station"}),
      .noDevices = t({"此期间没有写入设备。", "No devices were written in this period."}),
      .devicesAxis = t({"台", "devices"}),
      .batchesHeading = t({"此期间的批次（最新在前）", "Batches in this period (newest first)"}),
      .noBatches = t({"此期间没有批次。", "No batches in this period."}),
      .columns = {t({"批次", "Batch"}), t({"地址范围", "Address range"}), t({"工位", "Station"}),
                  t({"批号", "Lot"}), t({"映像摘要", "Image digest"}),
                  t({"输出目录", "Output folder"}), t({"记录时间", "Recorded"}),
                  t({"结果", "Outcome"}), t({"重写次数", "Rewrites"}), t({"作废", "Void"})},
      .endings = {t({"未记录结果", "no outcome recorded"}), t({"已完成", "finished"}),
                  t({"已停止", "stopped"}), t({"失败", "failed"})},
      .voided = t({"已作废", "void"}),
      .tableCut = t({"仅列出最新的 %1 个批次，此期间共 %2 个；完整列表见 quillmark-cli ledger list "
                     "或 ledger export。",
                     "Only the newest %1 of the %2 batches of this period are listed; "
                     "quillmark-cli ledger list or ledger export gives them all."}),
      .ledgerLocation = t({"账本", "Ledger"}),
      .reportTime = t({"报告时间", "Report time"}),
      .version = t({"程序版本", "Program version"}),
      .colon = t({"：", ": "}),
      .gap = t({"　", "  "}),
      .open = t({"（", " ("}),
      .close = t({"）", ")"}),
  };
}

}  // namespace

const ReportTexts& ReportTextsFor(InterfaceLanguage language) {
  static const ReportTexts chinese = TextsIn(InterfaceLanguage::Chinese);
  static const ReportTexts english = TextsIn(InterfaceLanguage::English);
  return language == InterfaceLanguage::English ? english : chinese;
}

const ReportTexts& ChineseReportTexts() {
  return ReportTextsFor(InterfaceLanguage::Chinese);
}

}  // namespace quillmark::ledger
