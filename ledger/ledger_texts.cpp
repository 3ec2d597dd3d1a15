#include "ledger_texts.h"

#include "interface_text.h"
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
  return Fill({"批次 %1：%2，工位 %3，%4", "Batch %1: %2, station %3, %4"},
              {std::to_string(batch.id), RangeText(batch.macs()),
               EscapeControlCharacters(batch.station), batch.recordedAt});
}

LedgerError OverlapError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::Overlap,
                   Fill({"MAC地址范围与账本中的批次重叠！%1",
                         "The MAC address range overlaps a batch in the ledger: %1"},
                        {BatchText(batch)}),
                   batch);
}

LedgerError RepeatedRangeError(const BatchSummary& batch, const InterfaceText& difference) {
  return WithBatch(LedgerFault::Overlap,
                   Fill({"MAC地址范围与账本中的批次重叠！%1；%2，确要重写该批次请加 --rerun %3",
                         "The MAC address range overlaps a batch in the ledger: %1; %2. To "
                         "write that batch again, add --rerun %3"},
                        {BatchText(batch), difference, std::to_string(batch.id)}),
                   batch);
}

LedgerError BatchInProgressError(const BatchSummary& batch) {
  return WithBatch(
      LedgerFault::BatchInProgress,
      Fill({"该批次的另一次写入尚未结束！%1；若那次写入已中断，确要重写请加 --rerun %2",
            "Another write of this batch has not ended: %1. If that write was "
            "cut off, add --rerun %2 to write the batch again"},
           {BatchText(batch), std::to_string(batch.id)}),
      batch);
}

LedgerError RerunMismatchError(std::int64_t named) {
  return Fault(LedgerFault::InvalidRequest,
               Fill({"--rerun 指定的批次与本次的MAC地址范围不符！批次 %1",
                     "The batch named by --rerun does not have this run's MAC address range: "
                     "batch %1"},
                    {std::to_string(named)}));
}

LedgerError VoidedBatchError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::VoidedBatch,
                   Fill({"该批次已作废！%1；作废原因：%2", "The batch is void: %1; reason: %2"},
                        {BatchText(batch), EscapeControlCharacters(batch.voidReason)}),
                   batch);
}

LedgerError OutsidePoolError(const MacRange& range, const Pool* pool) {
  if (pool == nullptr)
    return Fault(LedgerFault::OutsidePool, Fill({"MAC地址范围不在任何地址池内！%1",
                                                 "The MAC address range is in no address pool: %1"},
                                                {RangeText(range)}));
  return Fault(LedgerFault::OutsidePool,
               Fill({"MAC地址范围超出地址池！%1，地址池 %2：%3",
                     "The MAC address range reaches beyond its address pool: %1, pool %2: %3"},
                    {RangeText(range), pool->name, RangeText(pool->macs)}));
}

LedgerError UnknownPoolError(const std::string& name) {
  return Fault(LedgerFault::UnknownPool,
               Fill({"地址池不存在！%1", "There is no such address pool: %1"}, {name}));
}

LedgerError PoolFullError(const Pool& pool, std::uint64_t size) {
  return Fault(LedgerFault::PoolFull,
               Fill({"地址池中没有足够的连续空闲地址！地址池 %1，需要 %2 个",
                     "The address pool has not enough consecutive free addresses: pool %1, %2 "
                     "needed"},
                    {pool.name, std::to_string(size)}));
}

LedgerError NoSuchBatchError(std::int64_t id) {
  return Fault(LedgerFault::NoSuchBatch,
               Fill({"账本中没有该批次！%1", "The ledger has no batch %1."}, {std::to_string(id)}));
}

LedgerError AlreadyVoidError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::AlreadyVoid,
                   Fill({"该批次已作废！%1", "The batch is already void: %1"}, {BatchText(batch)}),
                   batch);
}

LedgerError InvalidRequestError(std::string_view what) {
  return Fault(
      LedgerFault::InvalidRequest,
      Fill({"账本无法记录该请求！%1", "The ledger cannot record this request: %1"}, {what}));
}

std::string NotInitializedText(const std::string& where) {
  return Fill({"账本尚未初始化！%1（先运行 quillmark-cli ledger init）",
               "The ledger is not set up: %1 (run quillmark-cli ledger init first)"},
              {where});
}

std::string SchemaTooNewText(const std::string& where, int version) {
  return Fill({"账本由更新版本的程序创建！%1（结构版本 %2）",
               "The ledger was made by a newer version of the program: %1 (schema version %2)"},
              {where, std::to_string(version)});
}

std::string SchemaOutdatedText(const std::string& where) {
  return Fill({"账本需要升级！%1（运行 quillmark-cli ledger init 升级）",
               "The ledger needs an upgrade: %1 (run quillmark-cli ledger init to upgrade it)"},
              {where});
}

std::string UnavailableText(const std::string& where, const std::string& detail) {
  return Fill({"账本无法访问！%1：%2", "Cannot reach the ledger: %1: %2"}, {where, detail});
}

std::string DeniedText(const std::string& where, const std::string& detail) {
  return Fill({"账本拒绝了此操作！%1：%2", "The ledger refused this operation: %1: %2"},
              {where, detail});
}

std::string OperationFailedText(const std::string& where, const std::string& detail) {
  return Fill({"账本操作出错！%1：%2", "A ledger operation failed: %1: %2"}, {where, detail});
}

std::string_view NoLedgerNamedText() {
  return Pick({"未指定账本！用 --ledger 或环境变量 QUILLMARK_LEDGER",
               "No ledger given: name one with --ledger or the environment variable "
               "QUILLMARK_LEDGER."});
}

std::string NotALedgerText(const std::string& path) {
  return Fill({"该文件不是账本！%1", "This file is not a ledger: %1"}, {path});
}

std::string NoOpenWriteText(std::int64_t writeId) {
  return Fill({"账本中没有未结束的该次写入！%1", "The ledger has no unfinished write %1."},
              {std::to_string(writeId)});
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
  const InterfaceText reserved{"已预留", "reserved"};
  if (details.batch.voided)
    return std::string(Pick({"已作废", "void"}));
  if (details.writes.empty())
    return std::string(reserved);
  switch (details.writes.back().ending) {
    case Ending::Finished:
      return std::string(Pick({"已完成", "finished"}));
    case Ending::Stopped:
      return std::string(Pick({"已停止", "stopped"}));
    case Ending::Failed:
      return std::string(Pick({"有失败", "failed"}));
    case Ending::None:
      break;
  }
  return std::string(reserved);
}

}  // namespace quillmark::ledger
