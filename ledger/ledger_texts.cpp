#include "ledger_texts.h"

#include <cerrno>
#include <cstring>

#include "batch_limits.h"
#include "interface_text.h"
#include "ledger_rules.h"
#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

LedgerError WithBatch(LedgerFault fault, std::string message, const BatchSummary& batch) {
  LedgerError error = Fault(fault, std::move(message));
  error.batch = batch;
  return error;
}

LedgerError InvalidRequest(std::string_view what) {
  return Fault(
      LedgerFault::InvalidRequest,
      Fill({"账本无法记录该请求！%1", "The ledger cannot record this request: %1"}, {what}));
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

LedgerError RepeatedRangeError(const BatchSummary& batch, RepeatDifference difference) {
  const InterfaceText what =
      difference == RepeatDifference::Image
          ? InterfaceText{"本次的映像与该批次的不同", "this run's image is not that batch's"}
      : difference == RepeatDifference::Folder
          ? InterfaceText{"本次的输出目录与该批次的不同",
                          "this run's output folder is not that batch's"}
      : difference == RepeatDifference::Lot
          ? InterfaceText{"本次的批号与该批次的不同", "this run's lot is not that batch's"}
          : InterfaceText{"本次的工位与该批次的不同", "this run's station is not that batch's"};
  return WithBatch(LedgerFault::Overlap,
                   Fill({"MAC地址范围与账本中的批次重叠！%1；%2，确要重写该批次请加 --rerun %3 "
                         "--reason 原因",
                         "The MAC address range overlaps a batch in the ledger: %1; %2. To "
                         "write that batch again, add --rerun %3 --reason TEXT"},
                        {BatchText(batch), what, std::to_string(batch.id)}),
                   batch);
}

LedgerError BatchInProgressError(const BatchSummary& batch) {
  return WithBatch(
      LedgerFault::BatchInProgress,
      Fill({"该批次的另一次写入尚未结束！%1；若那次写入已中断，确要重写请加 --rerun %2 "
            "--reason 原因",
            "Another write of this batch has not ended: %1. If that write was "
            "cut off, add --rerun %2 --reason TEXT to write the batch again"},
           {BatchText(batch), std::to_string(batch.id)}),
      batch);
}

std::string StoppedBatchHint(const BatchDetails& details, const std::string& requestStation) {
  const BatchSummary& batch = details.batch;
  const WriteRecord& last = details.writes.back();
  std::string arguments = ShellWord("--out=" + details.writes.front().outputFolder) + " " +
                          ShellWord("--start-mac=" + MacText(batch.firstMac)) +
                          " --count=" + std::to_string(batch.deviceCount) +
                          " --macs-per-device=" + std::to_string(batch.macsPerDevice);
  if (batch.station != requestStation)
    arguments += " " + ShellWord("--station=" + batch.station);
  return EscapeControlCharacters(Fill(
      {"批次 %1 上次写入已停止（已写入%2个设备文件，共%3个）；完成本批（同一批次以同一映像再次写入"
       "同一目录）：%4",
       "The last write of batch %1 was stopped (%2 of %3 {3:device file|device files} written); to "
       "finish the "
       "batch (the same batch again with the same image into the same folder): %4"},
      {std::to_string(batch.id), std::to_string(last.devicesWritten),
       std::to_string(batch.deviceCount), arguments}));
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
                     "The address pool does not have enough consecutive free addresses: pool "
                     "%1, %2 needed"},
                    {pool.name, std::to_string(size)}));
}

LedgerError PoolBusyError(const Pool& pool) {
  return Fault(LedgerFault::PoolBusy,
               Fill({"地址池繁忙！地址池 %1 的空闲地址正被其他工位记录，请稍后重试",
                     "The address pool is busy: another station is recording free addresses of "
                     "pool %1; try again shortly"},
                    {EscapeControlCharacters(pool.name)}));
}

LedgerError NoSuchBatchError(std::int64_t id) {
  return Fault(LedgerFault::NoSuchBatch,
               Fill({"账本中没有该批次！%1", "The ledger has no batch %1."}, {std::to_string(id)}));
}

LedgerError NoUnfinishedWriteError(std::int64_t writeId) {
  return Fault(LedgerFault::NoSuchBatch,
               Fill({"账本中没有未结束的该次写入！%1", "The ledger has no unfinished write %1."},
                    {std::to_string(writeId)}));
}

LedgerError AlreadyVoidError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::AlreadyVoid,
                   Fill({"该批次已作废！%1", "The batch is already void: %1"}, {BatchText(batch)}),
                   batch);
}

LedgerError InvalidRequestError(RequestFault fault) {
  switch (fault) {
    case RequestFault::NextFreeWithoutPool:
      return InvalidRequest(
          Pick({"取下一段空闲地址须指定地址池", "taking the next free addresses needs a pool"}));
    case RequestFault::DeviceCount:
      return InvalidRequest(
          Fill({"设备数量须为%1到%2", "the device count must be from %1 to %2"},
               {std::to_string(kMinDeviceCount), std::to_string(kMaxDeviceCount)}));
    case RequestFault::MacsPerDevice:
      return InvalidRequest(
          Fill({"每设备MAC数量须为%1到%2", "the MAC addresses per device must be from %1 to %2"},
               {std::to_string(kMinMacsPerDevice), std::to_string(kMaxMacsPerDevice)}));
    case RequestFault::ImageDigest:
      return InvalidRequest(Pick({"映像的SHA-256须为64个小写十六进制数字",
                                  "the image's SHA-256 must be 64 lower-case hexadecimal digits"}));
    case RequestFault::NoStation:
      return InvalidRequest(Pick({"工位名称不能为空", "the station name must not be empty"}));
    case RequestFault::NoRerunReason:
      return InvalidRequest(Pick({"有意重写批次须写明原因（--reason）",
                                  "writing a batch again on purpose needs a reason (--reason)"}));
    case RequestFault::RerunReasonLength:
      return InvalidRequest(Fill(
          {"重写原因不能超过%1个字符", "the rerun's reason must not be longer than %1 characters"},
          {std::to_string(kMaxRerunReasonCharacters)}));
    case RequestFault::ReasonWithoutRerun:
      return InvalidRequest(Pick({"只有有意重写（--rerun）才记录原因",
                                  "a reason is recorded only with a batch written again on "
                                  "purpose (--rerun)"}));
    case RequestFault::PastLastAddress:
      break;
  }
  return InvalidRequest(Pick(
      {"MAC地址范围超出 ff:ff:ff:ff:ff:ff", "the MAC address range goes past ff:ff:ff:ff:ff:ff"}));
}

LedgerError StationControlCharactersError(const std::string& station) {
  return InvalidRequest(Fill(
      {"工位名称不能含有控制字符：%1", "the station name must not hold control characters: %1"},
      {EscapeControlCharacters(station)}));
}

LedgerError LotError(const std::string& problem) {
  return InvalidRequest(problem);
}

LedgerError RerunReasonControlCharactersError(const std::string& reason) {
  return InvalidRequest(Fill(
      {"重写原因不能含有控制字符：%1", "the rerun's reason must not hold control characters: %1"},
      {EscapeControlCharacters(reason)}));
}

LedgerError NotUtf8Error(TextField field, const std::string& text) {
  const std::string shown = EscapeControlCharacters(EscapeInvalidUtf8(text));
  switch (field) {
    case TextField::Station:
      return Fault(LedgerFault::InvalidRequest, Fill({"工位名称不是有效的UTF-8文本！%1",
                                                      "The station name is not valid UTF-8: %1"},
                                                     {shown}));
    case TextField::OutputFolder:
      return Fault(LedgerFault::InvalidRequest, Fill({"输出目录不是有效的UTF-8文本！%1",
                                                      "The output folder is not valid UTF-8: %1"},
                                                     {shown}));
    case TextField::PoolName:
      return Fault(LedgerFault::InvalidRequest, Fill({"地址池名称不是有效的UTF-8文本！%1",
                                                      "The pool name is not valid UTF-8: %1"},
                                                     {shown}));
    case TextField::Lot:
      return Fault(
          LedgerFault::InvalidRequest,
          Fill({"批号不是有效的UTF-8文本！%1", "The lot is not valid UTF-8: %1"}, {shown}));
    case TextField::RerunReason:
      return Fault(LedgerFault::InvalidRequest, Fill({"重写原因不是有效的UTF-8文本！%1",
                                                      "The rerun's reason is not valid UTF-8: %1"},
                                                     {shown}));
    case TextField::VoidReason:
      break;
  }
  return Fault(
      LedgerFault::InvalidRequest,
      Fill({"作废原因不是有效的UTF-8文本！%1", "The void reason is not valid UTF-8: %1"}, {shown}));
}

LedgerError PoolNameError() {
  return Fault(LedgerFault::InvalidRequest,
               std::string(Pick({"地址池名称无效！须为1到64个字节，不含控制字符",
                                 "Invalid pool name: it must have 1 to 64 bytes and no control "
                                 "characters."})));
}

LedgerError PoolRangeError() {
  return Fault(LedgerFault::InvalidRequest,
               std::string(Pick({"地址池范围无效！", "Invalid pool range."})));
}

LedgerError PoolStartsError(const MacRange& macs) {
  return Fault(LedgerFault::InvalidRequest,
               Fill({"地址池范围无效！%1：其中每个地址都须可作起始地址（第1个字节相同且"
                     "低两位为0，第2、3个字节不同时为ff）",
                     "Invalid pool range: %1: every address in it must be able to start a "
                     "batch (the same first byte with its low two bits 0, the second and third "
                     "bytes not both ff)"},
                    {RangeText(macs)}));
}

LedgerError PoolNameTakenError(const std::string& name) {
  return Fault(LedgerFault::PoolConflict,
               Fill({"地址池名称已存在！%1", "A pool of that name already exists: %1"}, {name}));
}

LedgerError PoolOverlapError(const Pool& other) {
  return Fault(LedgerFault::PoolConflict, Fill({"地址池与已有地址池重叠！%1：%2",
                                                "The pool overlaps an existing pool: %1: %2"},
                                               {other.name, RangeText(other.macs)}));
}

LedgerError VoidReasonError() {
  return Fault(LedgerFault::InvalidRequest,
               std::string(Pick({"作废须写明原因！", "Voiding a batch needs a reason."})));
}

LedgerError DateFormatError(const std::string& text) {
  return Fault(LedgerFault::InvalidRequest,
               Fill({"日期格式错误！%1（应为 2024-05-01 或 2024-05-01T10:22:03Z）",
                     "Invalid date: %1 (write 2024-05-01 or 2024-05-01T10:22:03Z)"},
                    {EscapeControlCharacters(text)}));
}

LedgerError NotInitializedError(const std::string& shownAs) {
  return Fault(LedgerFault::NotInitialized,
               Fill({"账本尚未初始化！%1（先运行 quillmark-cli ledger init）",
                     "The ledger is not set up: %1 (run quillmark-cli ledger init first)"},
                    {shownAs}));
}

LedgerError NotALedgerError(const std::string& path) {
  return Fault(LedgerFault::NotALedger,
               Fill({"该文件不是账本！%1", "This file is not a ledger: %1"}, {path}));
}

LedgerError SchemaOutdatedError(const std::string& shownAs) {
  return Fault(LedgerFault::SchemaOutdated,
               Fill({"账本需要升级！%1（运行 quillmark-cli ledger init 升级）",
                     "The ledger needs an upgrade: %1 (run quillmark-cli ledger init to upgrade "
                     "it)"},
                    {shownAs}));
}

LedgerError SchemaTooNewError(const std::string& shownAs, int version) {
  return Fault(LedgerFault::SchemaTooNew,
               Fill({"账本由更新版本的程序创建！%1（结构版本 %2）",
                     "The ledger was made by a newer version of the program: %1 (schema version "
                     "%2)"},
                    {shownAs, std::to_string(version)}));
}

LedgerError LedgerMissingError(const std::string& path) {
  return Fault(LedgerFault::NotInitialized,
               Fill({"账本不存在！%1（先运行 quillmark-cli ledger init）",
                     "There is no ledger: %1 (run quillmark-cli ledger init first)"},
                    {path}));
}

std::string DatabaseErrorText(LedgerFault fault, const std::string& shownAs,
                              const std::string& detail) {
  switch (fault) {
    case LedgerFault::Unavailable:
      return Fill({"账本无法访问！%1：%2", "Cannot reach the ledger: %1: %2"}, {shownAs, detail});
    case LedgerFault::Denied:
      return Fill({"账本拒绝了此操作！%1：%2", "The ledger refused this operation: %1: %2"},
                  {shownAs, detail});
    case LedgerFault::NotALedger:
      return NotALedgerError(shownAs).message;
    case LedgerFault::NotInitialized:
      return NotInitializedError(shownAs).message;
    default:
      return Fill({"账本操作出错！%1：%2", "A ledger operation failed: %1: %2"}, {shownAs, detail});
  }
}

LedgerError PostgresBackupError() {
  return Fault(LedgerFault::InvalidRequest,
               std::string(Pick({"PostgreSQL账本不能用此命令备份！请用 pg_dump 备份其数据库（如 "
                                 "pg_dump -Fc -f FILE DBNAME）",
                                 "A PostgreSQL ledger cannot be backed up with this command: back "
                                 "up its database with pg_dump (such as pg_dump -Fc -f FILE "
                                 "DBNAME)."})));
}

std::string BackupNotWrittenText(const std::string& path, const std::string& reason) {
  return Fill({"备份文件无法写入！%1：%2", "Cannot write the backup: %1: %2"}, {path, reason});
}

std::string FileErrorText(int error) {
  switch (error) {
    case ENOSPC:
      return std::string(Pick({"磁盘空间不足", "no space left on the volume"}));
#ifdef EDQUOT
    case EDQUOT:
      return std::string(Pick({"超出磁盘配额", "the disk quota is used up"}));
#endif
    case EFBIG:
      return std::string(Pick({"文件超过允许的大小", "the file is larger than allowed"}));
    case EIO:
      return std::string(Pick({"输入输出错误", "an input/output error"}));
    case EROFS:
      return std::string(Pick({"文件系统只读", "the file system is read-only"}));
    case EACCES:
    case EPERM:
      return std::string(Pick({"没有权限", "no permission"}));
    default:
      return Fill({"系统错误 %1（%2）", "system error %1 (%2)"},
                  {std::to_string(error), std::strerror(error)});
  }
}

std::string VoidedDuringWriteText(const BatchSummary& batch) {
  return Fill({"警告：本批次在写入期间已被作废，本次写出的文件不可使用！%1；作废原因：%2",
               "Warning: this batch was voided while it was being written; the files written by "
               "this run must not be used! %1; reason: %2"},
              {BatchText(batch), EscapeControlCharacters(batch.voidReason)});
}

std::string OutcomeNotRecordedText(const LedgerError& error) {
  return Fill(
      {"账本未能记录本次运行的结果！%1", "The ledger could not record how this run ended: %1"},
      {error.message});
}

std::string VoidUnknownText(const LedgerError& error) {
  return Fill({"账本未能确认本批次是否已被作废！%1",
               "The ledger could not confirm whether this batch has been voided: %1"},
              {error.message});
}

std::string_view NoLedgerNamedText() {
  return Pick({"未指定账本！用 --ledger 或环境变量 QUILLMARK_LEDGER",
               "No ledger given: name one with --ledger or the environment variable "
               "QUILLMARK_LEDGER."});
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

// The ledger stores the English names; a reader is shown the words the
// listing uses everywhere else.
std::string EndingText(Ending ending) {
  switch (ending) {
    case Ending::Finished:
      return std::string(Pick({"已完成", "finished"}));
    case Ending::Stopped:
      return std::string(Pick({"已停止", "stopped"}));
    case Ending::Failed:
      return std::string(Pick({"有失败", "failed"}));
    case Ending::None:
      break;
  }
  return std::string(Pick({"未记录结果", "no outcome recorded"}));
}

std::string StateText(const BatchDetails& details) {
  if (details.batch.voided)
    return std::string(Pick({"已作废", "void"}));
  if (details.writes.empty() || details.writes.back().ending == Ending::None)
    return std::string(Pick({"已预留", "reserved"}));
  return EndingText(details.writes.back().ending);
}

}  // namespace quillmark::ledger
