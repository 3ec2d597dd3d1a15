#include "ledger_listing.h"

#include "ledger_texts.h"
#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

// "  批号 L" where the batch has a lot; nothing where it has none.
std::string LotText(const BatchSummary& batch) {
  return batch.lot.empty() ? "" : "  批号 " + EscapeControlCharacters(batch.lot);
}

std::string Devices(const BatchSummary& batch) {
  return std::to_string(batch.deviceCount) + "台×" + std::to_string(batch.macsPerDevice);
}

// Names, folders and reasons come from whoever wrote them into the ledger:
// shown, never obeyed by the terminal or read as a line of their own.
std::string Shown(const std::string& text) {
  return EscapeControlCharacters(text);
}

std::string OrNone(const std::string& text) {
  return text.empty() ? "-" : Shown(text);
}

std::string WriteLine(const WriteRecord& write) {
  std::string line = "  写入 " + std::to_string(write.id) + "  " + write.startedAt + "  工位 " +
                     Shown(write.station) + "  用户 " + Shown(write.writtenBy) + "  " +
                     Shown(write.outputFolder) + "\n    镜像 SHA-256 " + write.imageSha256 +
                     "\n    ";
  if (write.ending == Ending::None)
    return line + "未记录结果（运行中，或已中断）\n";
  return line + EndingText(write.ending) + "  已写入 " + std::to_string(write.devicesWritten) +
         "  失败 " + std::to_string(write.devicesFailed) + "  " + write.endedAt + "\n";
}

}  // namespace

std::string InitText(const std::string& shownLocation, const InitReport& report) {
  const std::string version = std::to_string(report.versionAfter);
  if (report.versionBefore == 0)
    return "账本已创建：" + shownLocation + "（结构版本 " + version + "）\n";
  if (report.versionBefore == report.versionAfter)
    return "账本已是最新：" + shownLocation + "（结构版本 " + version + "）\n";
  return "账本已升级：" + shownLocation + "（结构版本 " + std::to_string(report.versionBefore) +
         " → " + version + "）\n";
}

std::string PoolListing(const std::vector<Pool>& pools) {
  std::string text;
  for (const Pool& pool : pools) {
    text += Shown(pool.name) + "  " + RangeText(pool.macs) + "  " +
            std::to_string(pool.macs.count) + "个地址  " + Shown(pool.createdBy) + "  " +
            pool.createdAt + "\n";
  }
  return text;
}

std::string BatchListing(const std::vector<BatchDetails>& batches) {
  std::string text;
  for (const BatchDetails& details : batches) {
    const BatchSummary& batch = details.batch;
    text += std::to_string(batch.id) + "  " + RangeText(batch.macs()) + "  " + Devices(batch) +
            "  池 " + OrNone(batch.pool) + "  工位 " + Shown(batch.station) + LotText(batch) +
            "  " + batch.recordedAt + "  " + StateText(details) + "\n";
  }
  return text;
}

std::string BatchDetailsText(const BatchDetails& details) {
  const BatchSummary& batch = details.batch;
  std::string text = BatchText(batch) + "\n  " + Devices(batch) + "  池 " + OrNone(batch.pool) +
                     LotText(batch) + "  记录者 " + Shown(batch.recordedBy) + "  " +
                     StateText(details) + "\n";
  if (batch.voided) {
    text += "  作废 " + batch.voidedAt + "  " + Shown(batch.voidedBy) + "：" +
            Shown(batch.voidReason) + "\n";
  }
  for (const WriteRecord& write : details.writes)
    text += WriteLine(write);
  return text;
}

std::string CheckText(const Reservation& verdict) {
  const std::string range = RangeText(verdict.macs) +
                            (verdict.pool.empty() ? "" : "（地址池 " + Shown(verdict.pool) + "）");
  if (verdict.rewrite)
    return "账本可以记录：批次 " + std::to_string(verdict.batchId) + " 的又一次写入，" + range +
           "\n";
  return "账本可以记录：新批次，" + range + "\n";
}

}  // namespace quillmark::ledger
