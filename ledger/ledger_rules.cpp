#include "ledger_rules.h"

#include <algorithm>

#include "interface_text.h"
#include "ledger_texts.h"
#include "mac_number.h"
#include "printable_text.h"

namespace quillmark::ledger {
namespace {

bool IsLowerHex(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// The range's pool: the named one, which must hold it, or whichever holds
// it when pools exist. An empty name means it lies in no pool.
Result<std::string> PoolOf(RuleStore& store, const MacRange& range,
                           const std::optional<Pool>& named) {
  if (named) {
    if (!named->macs.Contains(range))
      return OutsidePoolError(range, &*named);
    return named->name;
  }
  Result<std::optional<Pool>> holder = store.PoolHolding(range);
  if (!holder)
    return holder.error();
  if (holder.value())
    return holder.value()->name;
  Result<bool> anyPool = store.HasPools();
  if (!anyPool)
    return anyPool.error();
  if (anyPool.value())
    return OutsidePoolError(range, nullptr);
  return std::string();
}

// The same devices again without --rerun: taken only as another write of
// the batch by its station, of its image, into its folder, and only when
// every earlier write has ended; anything else would give two lots of
// devices the same addresses.
std::optional<LedgerError> PlainRerunRefusal(RuleStore& store, const BatchSummary& batch,
                                             const BatchRequest& request) {
  Result<std::vector<WriteRecord>> writes = store.WritesOf(batch.id);
  if (!writes)
    return writes.error();
  if (writes->empty())
    return std::nullopt;
  const WriteRecord& first = writes->front();
  if (request.imageSha256 != first.imageSha256)
    return RepeatedRangeError(batch,
                              {"本次的映像与该批次的不同", "this run's image is not that batch's"});
  if (request.outputFolder != first.outputFolder)
    return RepeatedRangeError(
        batch, {"本次的输出目录与该批次的不同", "this run's output folder is not that batch's"});
  if (request.station != batch.station)
    return RepeatedRangeError(
        batch, {"本次的工位与该批次的不同", "this run's station is not that batch's"});
  for (const WriteRecord& write : writes.value()) {
    if (write.ending == Ending::None)
      return BatchInProgressError(batch);
  }
  return std::nullopt;
}

Result<std::uint64_t> FirstAddress(RuleStore& store, const BatchRequest& request,
                                   const std::optional<Pool>& pool, std::uint64_t size) {
  if (request.firstMac)
    return *request.firstMac;
  if (!pool)
    return InvalidRequestError(
        Pick({"取下一段空闲地址须指定地址池", "taking the next free addresses needs a pool"}));
  Result<std::optional<std::uint64_t>> start = store.NextFreeStart(*pool, size);
  if (!start)
    return start.error();
  // The free ranges are kept by triggers; should they ever disagree with
  // the batches (a pool full, or a range taken), the batches decide.
  bool confirmed = false;
  if (start.value()) {
    Result<std::optional<BatchSummary>> inTheWay =
        store.FirstOverlap(MacRange{*start.value(), size});
    if (!inTheWay)
      return inTheWay.error();
    confirmed = !inTheWay.value();
  }
  if (!confirmed) {
    start = store.NextFreeStartByScan(*pool, size);
    if (!start)
      return start.error();
  }
  if (!start.value())
    return PoolFullError(*pool, size);
  return *start.value();
}

}  // namespace

std::optional<LedgerError> ValidateRequest(const BatchRequest& request) {
  if (request.deviceCount < 1 || request.deviceCount > 65535)
    return InvalidRequestError(
        Pick({"设备数量须为1到65535", "the device count must be from 1 to 65535"}));
  if (request.macsPerDevice < 1 || request.macsPerDevice > 4)
    return InvalidRequestError(
        Pick({"每设备MAC数量须为1到4", "the MAC addresses per device must be from 1 to 4"}));
  if (request.imageSha256.size() != 64 || !IsLowerHex(request.imageSha256))
    return InvalidRequestError(Pick({"映像的SHA-256须为64个小写十六进制数字",
                                     "the image's SHA-256 must be 64 lower-case hexadecimal "
                                     "digits"}));
  if (request.station.empty())
    return InvalidRequestError(Pick({"工位名称不能为空", "the station name must not be empty"}));
  // A name with a line break or an escape sequence would forge lines or
  // drive the terminal of whoever lists the ledger.
  if (HasControlCharacters(request.station))
    return InvalidRequestError(Fill(
        {"工位名称不能含有控制字符：%1", "the station name must not hold control characters: %1"},
        {EscapeControlCharacters(request.station)}));
  const std::uint64_t size = std::uint64_t(request.deviceCount) * request.macsPerDevice;
  if (request.firstMac && (*request.firstMac >= kMacSpace || kMacSpace - *request.firstMac < size))
    return InvalidRequestError(Pick({"MAC地址范围超出 ff:ff:ff:ff:ff:ff",
                                     "the MAC address range goes past ff:ff:ff:ff:ff:ff"}));
  return std::nullopt;
}

Result<Reservation> ApplyReservation(RuleStore& store, const BatchRequest& request, bool record) {
  if (std::optional<LedgerError> invalid = ValidateRequest(request))
    return *invalid;
  const std::uint64_t size = std::uint64_t(request.deviceCount) * request.macsPerDevice;

  std::optional<Pool> named;
  if (!request.pool.empty()) {
    Result<std::optional<Pool>> found = store.FindPool(request.pool);
    if (!found)
      return found.error();
    if (!found.value())
      return UnknownPoolError(request.pool);
    named = found.value();
  }
  Result<std::uint64_t> first = FirstAddress(store, request, named, size);
  if (!first)
    return first.error();
  Reservation reservation;
  reservation.macs = MacRange{first.value(), size};
  Result<std::string> pool = PoolOf(store, reservation.macs, named);
  if (!pool)
    return pool.error();
  reservation.pool = pool.value();

  Result<std::optional<BatchSummary>> same =
      store.SameDevices(first.value(), request.deviceCount, request.macsPerDevice);
  if (!same)
    return same.error();
  if (request.rerunBatch && (!same.value() || same.value()->id != *request.rerunBatch))
    return RerunMismatchError(*request.rerunBatch);
  if (same.value()) {
    if (same.value()->voided)
      return VoidedBatchError(*same.value());
    if (!request.rerunBatch) {
      if (std::optional<LedgerError> refusal = PlainRerunRefusal(store, *same.value(), request))
        return *refusal;
    }
    reservation.batchId = same.value()->id;
    reservation.rewrite = true;
  } else {
    Result<std::optional<BatchSummary>> overlap = store.FirstOverlap(reservation.macs);
    if (!overlap)
      return overlap.error();
    if (overlap.value())
      return OverlapError(*overlap.value());
  }
  if (!record)
    return reservation;

  if (!reservation.rewrite) {
    Result<std::int64_t> batchId = store.InsertBatch(request, first.value(), reservation.pool);
    if (!batchId)
      return batchId.error();
    reservation.batchId = batchId.value();
  }
  Result<std::int64_t> writeId = store.InsertWrite(reservation.batchId, request);
  if (!writeId)
    return writeId.error();
  reservation.writeId = writeId.value();
  return reservation;
}

}  // namespace quillmark::ledger

namespace quillmark::ledger {
namespace {

bool IsDigits(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "YYYY-MM-DD", optionally followed by "THH:MM:SSZ".
bool IsLedgerTime(std::string_view text) {
  const bool date = text.size() >= 10 && IsDigits(text.substr(0, 4)) && text[4] == '-' &&
                    IsDigits(text.substr(5, 2)) && text[7] == '-' && IsDigits(text.substr(8, 2));
  if (!date || text.size() == 10)
    return date;
  return text.size() == 20 && text[10] == 'T' && IsDigits(text.substr(11, 2)) && text[13] == ':' &&
         IsDigits(text.substr(14, 2)) && text[16] == ':' && IsDigits(text.substr(17, 2)) &&
         text[19] == 'Z';
}

bool HasControlCharacter(std::string_view text) {
  return std::any_of(text.begin(), text.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; });
}

std::optional<LedgerError> ValidatePool(const std::string& name, const MacRange& macs) {
  if (name.empty() || name.size() > 64 || HasControlCharacter(name))
    return Fault(LedgerFault::InvalidRequest,
                 std::string(Pick({"地址池名称无效！须为1到64个字节，不含控制字符",
                                   "Invalid pool name: it must have 1 to 64 bytes and no control "
                                   "characters."})));
  if (macs.count == 0 || macs.first >= kMacSpace || kMacSpace - macs.first < macs.count)
    return Fault(LedgerFault::InvalidRequest,
                 std::string(Pick({"地址池范围无效！", "Invalid pool range."})));
  const std::uint64_t firstOctet = macs.first >> 40;
  if (firstOctet != macs.last() >> 40 || (firstOctet & 3) != 0 ||
      ((macs.last() >> 24) & 0xffff) == 0xffff) {
    return Fault(
        LedgerFault::InvalidRequest,
        Fill({"地址池范围无效！%1：其中每个地址都须可作起始地址（第1个字节相同且低两位为0，"
              "第2、3个字节不同时为ff）",
              "Invalid pool range: %1: every address in it must be able to start a "
              "batch (the same first byte with its low two bits 0, the second and third "
              "bytes not both ff)"},
             {RangeText(macs)}));
  }
  return std::nullopt;
}

std::string Trimmed(const std::string& text) {
  const std::size_t begin = text.find_first_not_of(" \t\r\n");
  if (begin == std::string::npos)
    return {};
  return text.substr(begin, text.find_last_not_of(" \t\r\n") - begin + 1);
}

}  // namespace

std::optional<LedgerError> ValidateFilter(const BatchFilter& filter) {
  if (!filter.since.empty() && !IsLedgerTime(filter.since)) {
    return Fault(LedgerFault::InvalidRequest,
                 Fill({"日期格式错误！%1（应为 2024-05-01 或 2024-05-01T10:22:03Z）",
                       "Invalid date: %1 (write 2024-05-01 or 2024-05-01T10:22:03Z)"},
                      {filter.since}));
  }
  return std::nullopt;
}

Result<Pool> ApplyAddPool(RuleStore& store, const std::string& name, const MacRange& macs) {
  if (std::optional<LedgerError> invalid = ValidatePool(name, macs))
    return *invalid;
  Result<std::optional<Pool>> taken = store.FindPool(name);
  if (!taken)
    return taken.error();
  if (taken.value())
    return Fault(LedgerFault::PoolConflict,
                 Fill({"地址池名称已存在！%1", "A pool of that name already exists: %1"}, {name}));
  Result<std::optional<Pool>> overlap = store.FirstOverlappingPool(macs);
  if (!overlap)
    return overlap.error();
  if (overlap.value()) {
    return Fault(
        LedgerFault::PoolConflict,
        Fill({"地址池与已有地址池重叠！%1：%2", "The pool overlaps an existing pool: %1: %2"},
             {overlap.value()->name, RangeText(overlap.value()->macs)}));
  }
  return store.InsertPool(name, macs);
}

Result<BatchSummary> ApplyVoid(RuleStore& store, std::int64_t batchId, const std::string& reason) {
  const std::string why = Trimmed(reason);
  if (why.empty() || HasControlCharacter(why))
    return Fault(LedgerFault::InvalidRequest,
                 std::string(Pick({"作废须写明原因！", "Voiding a batch needs a reason."})));
  Result<std::optional<BatchSummary>> batch = store.FindBatch(batchId);
  if (!batch)
    return batch.error();
  if (!batch.value())
    return NoSuchBatchError(batchId);
  if (batch.value()->voided)
    return AlreadyVoidError(*batch.value());
  if (Status voided = store.InsertVoid(batchId, why); !voided)
    return voided.error();
  Result<std::optional<BatchSummary>> after = store.FindBatch(batchId);
  if (!after)
    return after.error();
  return after.value().value_or(*batch.value());
}

}  // namespace quillmark::ledger
