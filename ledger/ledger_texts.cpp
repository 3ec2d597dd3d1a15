#include "ledger_texts.h"

#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

LedgerError WithBatch(LedgerFault fault, std::string message, const BatchSummary& batch) {
  LedgerError error = Fault(fault, std::move(message));
  error.batch = batch;
  return error;
}

}  // namespace

std::string BatchText(const BatchSummary& batch) {
  return "批次 " + std::to_string(batch.id) + "：" + RangeText(batch.macs()) + "，工位 " +
         EscapeControlCharacters(batch.station) + "，" + batch.recordedAt;
}

LedgerError OverlapError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::Overlap, "MAC地址范围与账本中的批次重叠！" + BatchText(batch),
                   batch);
}

LedgerError RepeatedRangeError(const BatchSummary& batch, const char* difference) {
  const std::string id = std::to_string(batch.id);
  return WithBatch(LedgerFault::Overlap,
                   "MAC地址范围与账本中的批次重叠！" + BatchText(batch) + "；" + difference +
                       "，确要重写该批次请加 --rerun " + id,
                   batch);
}

LedgerError BatchInProgressError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::BatchInProgress,
                   "该批次的另一次写入尚未结束！" + BatchText(batch) +
                       "；若那次写入已中断，确要重写请加 --rerun " + std::to_string(batch.id),
                   batch);
}

LedgerError RerunMismatchError(std::int64_t named) {
  return Fault(LedgerFault::InvalidRequest,
               "--rerun 指定的批次与本次的MAC地址范围不符！批次 " + std::to_string(named));
}

LedgerError VoidedBatchError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::VoidedBatch,
                   "该批次已作废！" + BatchText(batch) + "；作废原因：" +
                       EscapeControlCharacters(batch.voidReason),
                   batch);
}

LedgerError OutsidePoolError(const MacRange& range, const Pool* pool) {
  if (pool == nullptr)
    return Fault(LedgerFault::OutsidePool, "MAC地址范围不在任何地址池内！" + RangeText(range));
  return Fault(LedgerFault::OutsidePool, "MAC地址范围超出地址池！" + RangeText(range) +
                                             "，地址池 " + pool->name + "：" +
                                             RangeText(pool->macs));
}

LedgerError UnknownPoolError(const std::string& name) {
  return Fault(LedgerFault::UnknownPool, "地址池不存在！" + name);
}

LedgerError PoolFullError(const Pool& pool, std::uint64_t size) {
  return Fault(LedgerFault::PoolFull, "地址池中没有足够的连续空闲地址！地址池 " + pool.name +
                                          "，需要 " + std::to_string(size) + " 个");
}

LedgerError PoolBusyError(const Pool& pool) {
  return Fault(LedgerFault::PoolBusy, "地址池繁忙！地址池 " + EscapeControlCharacters(pool.name) +
                                          " 的空闲地址正被其他工位记录，请稍后重试");
}

LedgerError NoSuchBatchError(std::int64_t id) {
  return Fault(LedgerFault::NoSuchBatch, "账本中没有该批次！" + std::to_string(id));
}

LedgerError AlreadyVoidError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::AlreadyVoid, "该批次已作废！" + BatchText(batch), batch);
}

LedgerError InvalidRequestError(const std::string& what) {
  return Fault(LedgerFault::InvalidRequest, "账本无法记录该请求！" + what);
}

std::string_view EndingName(Ending ending) {
  switch (ending) {
    case Ending::Finished:
      return "finished";
    case Ending::Stopped:
      return "stopped";
    case Ending::Failed:
      return "failed";
    case Ending::None:
      break;
  }
  return "";
}

std::optional<Ending> ParseEnding(std::string_view name) {
  for (const Ending ending : {Ending::None, Ending::Finished, Ending::Stopped, Ending::Failed}) {
    if (EndingName(ending) == name)
      return ending;
  }
  return std::nullopt;
}

std::string StateText(const BatchDetails& details) {
  if (details.batch.voided)
    return "已作废";
  if (details.writes.empty())
    return "已预留";
  switch (details.writes.back().ending) {
    case Ending::Finished:
      return "已完成";
    case Ending::Stopped:
      return "已停止";
    case Ending::Failed:
      return "有失败";
    case Ending::None:
      break;
  }
  return "已预留";
}

}  // namespace quillmark::ledger
