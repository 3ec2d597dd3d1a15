#include "ledger_listing.h"

#include "interface_text.h"
#include "ledger_texts.h"
#include "mac_number.h"
#include "printable_text.h"
#include "serial_series.h"

namespace quillmark::ledger {
namespace {

// "  批号 L" where the batch has a lot; nothing where it has none.
std::string LotText(const BatchSummary& batch) {
  return batch.lot.empty() ? ""
                           : Fill({"  批号 %1", "  lot %1"}, {EscapeControlCharacters(batch.lot)});
}

// "  序列号 A 至 B（系列 S）" where the batch has serials.
std::string SerialsText(const SerialIssue& serials, std::int64_t count) {
  const std::string range = SerialRangeText(serials, count);
  return range.empty() ? "" : "  " + range;
}

std::string Devices(const BatchSummary& batch) {
  return Fill({"%1台×%2", "%1 {1:device|devices} × %2 {2:MAC|MACs}"},
              {std::to_string(batch.deviceCount), std::to_string(batch.macsPerDevice)});
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
  std::string line = Fill({"  写入 %1  %2  工位 %3  用户 %4  %5\n    镜像 SHA-256 %6\n    ",
                           "  write %1  %2  station %3  user %4  %5\n    image SHA-256 %6\n    "},
                          {std::to_string(write.id), write.startedAt, Shown(write.station),
                           Shown(write.writtenBy), Shown(write.outputFolder), write.imageSha256});
  if (!write.rerunReason.empty())
    line += Fill({"有意重写（--rerun），原因：%1\n    ",
                  "written again on purpose (--rerun), reason: %1\n    "},
                 {Shown(write.rerunReason)});
  if (write.ending == Ending::None)
    return line + std::string(Pick({"未记录结果（运行中，或已中断）\n",
                                    "no outcome recorded (running, or cut off)\n"}));
  return line + Fill({"%1  已写入 %2  失败 %3  %4\n", "%1  written %2  failed %3  %4\n"},
                     {EndingText(write.ending), std::to_string(write.devicesWritten),
                      std::to_string(write.devicesFailed), write.endedAt});
}

}  // namespace

std::string InitText(const std::string& shownLocation, const InitReport& report) {
  const std::string version = std::to_string(report.versionAfter);
  if (report.versionBefore == 0)
    return Fill({"账本已创建：%1（结构版本 %2）\n", "Ledger created: %1 (schema version %2)\n"},
                {shownLocation, version});
  if (report.versionBefore == report.versionAfter)
    return Fill(
        {"账本已是最新：%1（结构版本 %2）\n", "The ledger is up to date: %1 (schema version %2)\n"},
        {shownLocation, version});
  return Fill(
      {"账本已升级：%1（结构版本 %2 → %3）\n", "Ledger upgraded: %1 (schema version %2 → %3)\n"},
      {shownLocation, std::to_string(report.versionBefore), version});
}

std::string PoolListing(const std::vector<Pool>& pools) {
  std::string text;
  for (const Pool& pool : pools) {
    text += Fill({"%1  %2  %3个地址  %4  %5\n", "%1  %2  %3 {3:address|addresses}  %4  %5\n"},
                 {Shown(pool.name), RangeText(pool.macs), std::to_string(pool.macs.count),
                  Shown(pool.createdBy), pool.createdAt});
  }
  return text;
}

std::string BatchListing(const std::vector<BatchDetails>& batches) {
  std::string text;
  for (const BatchDetails& details : batches) {
    const BatchSummary& batch = details.batch;
    text += Fill(
        {"%1  %2  %3  池 %4  工位 %5%6  %7  %8\n", "%1  %2  %3  pool %4  station %5%6  %7  %8\n"},
        {std::to_string(batch.id), RangeText(batch.macs()), Devices(batch), OrNone(batch.pool),
         Shown(batch.station), LotText(batch) + SerialsText(batch.serials, batch.deviceCount),
         batch.recordedAt, StateText(details)});
  }
  return text;
}

std::string BatchDetailsText(const BatchDetails& details) {
  const BatchSummary& batch = details.batch;
  std::string text =
      Fill({"%1\n  %2  池 %3%4  记录者 %5  %6\n", "%1\n  %2  pool %3%4  recorded by %5  %6\n"},
           {BatchText(batch), Devices(batch), OrNone(batch.pool), LotText(batch),
            Shown(batch.recordedBy), StateText(details)});
  if (batch.serials.any())
    text += "  " + SerialRangeText(batch.serials, batch.deviceCount) + "\n";
  if (batch.voided) {
    text += Fill({"  作废 %1  %2：%3\n", "  voided %1  %2: %3\n"},
                 {batch.voidedAt, Shown(batch.voidedBy), Shown(batch.voidReason)});
  }
  for (const WriteRecord& write : details.writes)
    text += WriteLine(write);
  return text;
}

std::string CheckText(const Reservation& verdict) {
  const std::string macs = verdict.pool.empty()
                               ? RangeText(verdict.macs)
                               : Fill({"%1（地址池 %2）", "%1 (pool %2)"},
                                      {RangeText(verdict.macs), Shown(verdict.pool)});
  const std::string range = macs + SerialsText(verdict.serials, verdict.deviceCount);
  if (verdict.rewrite)
    return Fill({"账本可以记录：批次 %1 的又一次写入，%2\n",
                 "The ledger can record: another write of batch %1, %2\n"},
                {std::to_string(verdict.batchId), range});
  return Fill({"账本可以记录：新批次，%1\n", "The ledger can record: a new batch, %1\n"}, {range});
}

}  // namespace quillmark::ledger
