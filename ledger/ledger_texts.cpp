#include "ledger_texts.h"

#include "batch_limits.h"
#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

LedgerError WithBatch(LedgerFault fault, std::string message, const BatchSummary& batch) {
  LedgerError error = Fault(fault, std::move(message));
  error.batch = batch;
  return error;
}

LedgerError InvalidRequest(const std::string& what) {
  return Fault(LedgerFault::InvalidRequest, "账本无法记录该请求！" + what);
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

LedgerError RepeatedRangeError(const BatchSummary& batch, RepeatDifference difference) {
  const char* what = difference == RepeatDifference::Image ? "本次的映像与该批次的不同"
                     : difference == RepeatDifference::Folder ? "本次的输出目录与该批次的不同"
                     : difference == RepeatDifference::Lot ? "本次的批号与该批次的不同"
                                                           : "本次的工位与该批次的不同";
  const std::string id = std::to_string(batch.id);
  return WithBatch(LedgerFault::Overlap,
                   "MAC地址范围与账本中的批次重叠！" + BatchText(batch) + "；" + what +
                       "，确要重写该批次请加 --rerun " + id,
                   batch);
}

LedgerError BatchInProgressError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::BatchInProgress,
                   "该批次的另一次写入尚未结束！" + BatchText(batch) +
                       "；若那次写入已中断，确要重写请加 --rerun " + std::to_string(batch.id),
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
  return EscapeControlCharacters(
      "批次 " + std::to_string(batch.id) + " 上次写入已停止（已写入" +
      std::to_string(last.devicesWritten) + "个设备文件，共" + std::to_string(batch.deviceCount) +
      "个）；完成本批（同一批次以同一映像再次写入同一目录）：" + arguments);
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

LedgerError NoUnfinishedWriteError(std::int64_t writeId) {
  return Fault(LedgerFault::NoSuchBatch, "账本中没有未结束的该次写入！" + std::to_string(writeId));
}

LedgerError AlreadyVoidError(const BatchSummary& batch) {
  return WithBatch(LedgerFault::AlreadyVoid, "该批次已作废！" + BatchText(batch), batch);
}

LedgerError InvalidRequestError(RequestFault fault) {
  switch (fault) {
    case RequestFault::NextFreeWithoutPool:
      return InvalidRequest("取下一段空闲地址须指定地址池");
    case RequestFault::DeviceCount:
      return InvalidRequest("设备数量须为" + std::to_string(kMinDeviceCount) + "到" +
                            std::to_string(kMaxDeviceCount));
    case RequestFault::MacsPerDevice:
      return InvalidRequest("每设备MAC数量须为" + std::to_string(kMinMacsPerDevice) + "到" +
                            std::to_string(kMaxMacsPerDevice));
    case RequestFault::ImageDigest:
      return InvalidRequest("映像的SHA-256须为64个小写十六进制数字");
    case RequestFault::NoStation:
      return InvalidRequest("工位名称不能为空");
    case RequestFault::PastLastAddress:
      break;
  }
  return InvalidRequest("MAC地址范围超出 ff:ff:ff:ff:ff:ff");
}

LedgerError StationControlCharactersError(const std::string& station) {
  return InvalidRequest("工位名称不能含有控制字符：" + EscapeControlCharacters(station));
}

LedgerError LotControlCharactersError(const std::string& lot) {
  return InvalidRequest("批号不能含有控制字符：" + EscapeControlCharacters(lot));
}

LedgerError NotUtf8Error(TextField field, const std::string& text) {
  const char* name = field == TextField::Station        ? "工位名称"
                     : field == TextField::OutputFolder ? "输出目录"
                     : field == TextField::PoolName     ? "地址池名称"
                                                        : "作废原因";
  return Fault(LedgerFault::InvalidRequest, std::string(name) + "不是有效的UTF-8文本！" +
                                                EscapeControlCharacters(EscapeInvalidUtf8(text)));
}

LedgerError PoolNameError() {
  return Fault(LedgerFault::InvalidRequest, "地址池名称无效！须为1到64个字节，不含控制字符");
}

LedgerError PoolRangeError() {
  return Fault(LedgerFault::InvalidRequest, "地址池范围无效！");
}

LedgerError PoolStartsError(const MacRange& macs) {
  return Fault(LedgerFault::InvalidRequest, "地址池范围无效！" + RangeText(macs) +
                                                "：其中每个地址都须可作起始地址（第1个字节相同且"
                                                "低两位为0，第2、3个字节不同时为ff）");
}

LedgerError PoolNameTakenError(const std::string& name) {
  return Fault(LedgerFault::PoolConflict, "地址池名称已存在！" + name);
}

LedgerError PoolOverlapError(const Pool& other) {
  return Fault(LedgerFault::PoolConflict,
               "地址池与已有地址池重叠！" + other.name + "：" + RangeText(other.macs));
}

LedgerError VoidReasonError() {
  return Fault(LedgerFault::InvalidRequest, "作废须写明原因！");
}

LedgerError DateFormatError(const std::string& text) {
  return Fault(LedgerFault::InvalidRequest, "日期格式错误！" + EscapeControlCharacters(text) +
                                                "（应为 2024-05-01 或 2024-05-01T10:22:03Z）");
}

LedgerError NotInitializedError(const std::string& shownAs) {
  return Fault(LedgerFault::NotInitialized,
               "账本尚未初始化！" + shownAs + "（先运行 quillmark-cli ledger init）");
}

LedgerError NotALedgerError(const std::string& path) {
  return Fault(LedgerFault::NotALedger, "该文件不是账本！" + path);
}

LedgerError SchemaOutdatedError(const std::string& shownAs) {
  return Fault(LedgerFault::SchemaOutdated,
               "账本需要升级！" + shownAs + "（运行 quillmark-cli ledger init 升级）");
}

LedgerError SchemaTooNewError(const std::string& shownAs, int version) {
  return Fault(LedgerFault::SchemaTooNew, "账本由更新版本的程序创建！" + shownAs + "（结构版本 " +
                                              std::to_string(version) + "）");
}

LedgerError LedgerMissingError(const std::string& path) {
  return Fault(LedgerFault::NotInitialized,
               "账本不存在！" + path + "（先运行 quillmark-cli ledger init）");
}

std::string DatabaseErrorText(LedgerFault fault, const std::string& shownAs,
                              const std::string& detail) {
  switch (fault) {
    case LedgerFault::Unavailable:
      return "账本无法访问！" + shownAs + "：" + detail;
    case LedgerFault::Denied:
      return "账本拒绝了此操作！" + shownAs + "：" + detail;
    case LedgerFault::NotALedger:
      return NotALedgerError(shownAs).message;
    case LedgerFault::NotInitialized:
      return NotInitializedError(shownAs).message;
    default:
      return "账本操作出错！" + shownAs + "：" + detail;
  }
}

LedgerError PostgresBackupError() {
  return Fault(LedgerFault::InvalidRequest,
               "PostgreSQL账本不能用此命令备份！请用 pg_dump 备份其数据库（如 pg_dump -Fc -f FILE "
               "DBNAME）");
}

std::string VoidedDuringWriteText(const BatchSummary& batch) {
  return "警告：本批次在写入期间已被作废，本次写出的文件不可使用！" + BatchText(batch) +
         "；作废原因：" + EscapeControlCharacters(batch.voidReason);
}

std::string OutcomeNotRecordedText(const LedgerError& error) {
  return "账本未能记录本次运行的结果！" + error.message;
}

std::string VoidUnknownText(const LedgerError& error) {
  return "账本未能确认本批次是否已被作废！" + error.message;
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
      return "已完成";
    case Ending::Stopped:
      return "已停止";
    case Ending::Failed:
      return "有失败";
    case Ending::None:
      break;
  }
  return "未记录结果";
}

std::string StateText(const BatchDetails& details) {
  if (details.batch.voided)
    return "已作废";
  if (details.writes.empty() || details.writes.back().ending == Ending::None)
    return "已预留";
  return EndingText(details.writes.back().ending);
}

}  // namespace quillmark::ledger
