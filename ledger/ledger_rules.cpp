#include "ledger_rules.h"

#include <algorithm>

#include "batch_limits.h"
#include "interface_text.h"
#include "ledger_texts.h"
#include "mac_number.h"
#include "note_text.h"
#include "printable_text.h"
#include "serial_series.h"

namespace quillmark::ledger {
namespace {

bool IsLowerHex(const std::string& text) {
  return std::all_of(text.begin(), text.end(),
                     [](char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'); });
}

// Every text the request would store or look up, as UTF-8: PostgreSQL
// refuses anything else with an error of its own, SQLite would keep bytes
// no listing can show.
std::optional<LedgerError> NotUtf8(const BatchRequest& request) {
  if (!IsValidUtf8(request.station))
    return NotUtf8Error(TextField::Station, request.station);
  if (!IsValidUtf8(request.outputFolder))
    return NotUtf8Error(TextField::OutputFolder, request.outputFolder);
  if (!IsValidUtf8(request.pool))
    return NotUtf8Error(TextField::PoolName, request.pool);
  if (!IsValidUtf8(request.lot))
    return NotUtf8Error(TextField::Lot, request.lot);
  if (!IsValidUtf8(request.series))
    return NotUtf8Error(TextField::PoolName, request.series);
  if (!IsValidUtf8(request.rerunReason))
    return NotUtf8Error(TextField::RerunReason, request.rerunReason);
  return std::nullopt;
}

// A write of a batch on purpose says why, in one line the ledger keeps
// with it for whoever audits the batch later; no other write has one.
std::optional<LedgerError> RerunReasonRefusal(const BatchRequest& request) {
  if (!request.rerunBatch) {
    if (!request.rerunReason.empty())
      return InvalidRequestError(RequestFault::ReasonWithoutRerun);
    return std::nullopt;
  }
  switch (CheckNote(request.rerunReason)) {
    case NoteProblem::None:
      return std::nullopt;
    case NoteProblem::Blank:
      return InvalidRequestError(RequestFault::NoRerunReason);
    case NoteProblem::ControlCharacters:
      return RerunReasonControlCharactersError(request.rerunReason);
    case NoteProblem::TooLong:
      break;
  }
  return InvalidRequestError(RequestFault::RerunReasonLength);
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
    return RepeatedRangeError(batch, RepeatDifference::Image);
  if (request.outputFolder != first.outputFolder)
    return RepeatedRangeError(batch, RepeatDifference::Folder);
  if (request.station != batch.station)
    return RepeatedRangeError(batch, RepeatDifference::Station);
  if (!request.lot.empty() && request.lot != batch.lot)
    return RepeatedRangeError(batch, RepeatDifference::Lot);
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
    return InvalidRequestError(RequestFault::NextFreeWithoutPool);
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

// The serials of a new batch: the next numbers of its series, issued on
// the database's day. Refused before anything is recorded when the series
// has too few left, or when its lot or station cannot go into a serial.
Result<SerialIssue> NewSerials(RuleStore& store, const BatchRequest& request) {
  if (request.series.empty())
    return SerialIssue{};
  Result<std::optional<Series>> found = store.FindSeries(request.series);
  if (!found)
    return found.error();
  if (!found.value())
    return UnknownSeriesError(request.series);
  const Series& series = *found.value();
  serial::SerialTemplate::Parsed parsed = serial::SerialTemplate::Parse(series.templateText);
  if (!parsed.value)
    return SeriesTemplateError(parsed.error);
  Result<std::string> today = store.Today();
  if (!today)
    return today.error();
  const std::optional<serial::SerialDate> date = serial::ParseSerialDate(today.value());
  if (!date)
    return Fault(LedgerFault::Failed, today.value());
  const std::string refusal =
      parsed.value->ContextRefusal(serial::SerialContext{*date, request.lot, request.station});
  if (!refusal.empty())
    return SeriesTemplateError(refusal);
  Result<std::optional<std::uint64_t>> end = store.SeriesEnd(series.name);
  if (!end)
    return end.error();
  const std::uint64_t first = std::max(series.firstSeq, end.value().value_or(series.firstSeq));
  if (first >= series.endSeq || series.endSeq - first < std::uint64_t(request.deviceCount))
    return SeriesFullError(series, request.deviceCount);
  // The numbers follow the last batch's; should a batch ever be found in
  // them, the batches decide, as they do for addresses.
  Result<std::optional<BatchSummary>> inTheWay =
      store.FirstSerialOverlap(series.name, first, request.deviceCount);
  if (!inTheWay)
    return inTheWay.error();
  if (inTheWay.value())
    return SerialOverlapError(*inTheWay.value());
  return SerialIssue{series.name, series.templateText, first, today.value().substr(0, 10),
                     request.lot, request.station};
}

}  // namespace

std::optional<LedgerError> LotRefusal(const std::string& lot) {
  if (const std::string problem = LotProblem(lot); !problem.empty())
    return LotError(problem);
  return std::nullopt;
}

std::optional<LedgerError> ValidateRequest(const BatchRequest& request) {
  if (request.deviceCount < kMinDeviceCount || request.deviceCount > kMaxDeviceCount)
    return InvalidRequestError(RequestFault::DeviceCount);
  if (request.macsPerDevice < kMinMacsPerDevice || request.macsPerDevice > kMaxMacsPerDevice)
    return InvalidRequestError(RequestFault::MacsPerDevice);
  if (request.imageSha256.size() != 64 || !IsLowerHex(request.imageSha256))
    return InvalidRequestError(RequestFault::ImageDigest);
  if (request.station.empty())
    return InvalidRequestError(RequestFault::NoStation);
  if (std::optional<LedgerError> text = NotUtf8(request))
    return text;
  // A name with a line break or an escape sequence would forge lines or
  // drive the terminal of whoever lists the ledger.
  if (HasControlCharacters(request.station))
    return StationControlCharactersError(request.station);
  if (std::optional<LedgerError> lot = LotRefusal(request.lot))
    return lot;
  if (std::optional<LedgerError> reason = RerunReasonRefusal(request))
    return reason;
  const std::uint64_t size = std::uint64_t(request.deviceCount) * request.macsPerDevice;
  if (request.firstMac && (*request.firstMac >= kMacSpace || kMacSpace - *request.firstMac < size))
    return InvalidRequestError(RequestFault::PastLastAddress);
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
  reservation.deviceCount = request.deviceCount;
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
  // The ledger's own choice was free in what it read; anything found in
  // its way now was recorded meanwhile.
  const bool chosen = !request.firstMac;
  if (chosen && same.value())
    return PoolBusyError(*named);
  if (same.value()) {
    if (same.value()->voided)
      return VoidedBatchError(*same.value());
    if (!request.rerunBatch) {
      if (std::optional<LedgerError> refusal = PlainRerunRefusal(store, *same.value(), request))
        return *refusal;
    }
    // The same devices keep their serials: another write names the
    // series the batch has, and takes no new numbers.
    if (same.value()->serials.series != request.series)
      return SeriesMismatchError(*same.value(), request.series);
    reservation.batchId = same.value()->id;
    reservation.rewrite = true;
    reservation.serials = same.value()->serials;
  } else {
    Result<std::optional<BatchSummary>> overlap = store.FirstOverlap(reservation.macs);
    if (!overlap)
      return overlap.error();
    if (overlap.value())
      return chosen ? PoolBusyError(*named) : OverlapError(*overlap.value());
    Result<SerialIssue> serials = NewSerials(store, request);
    if (!serials)
      return serials.error();
    reservation.serials = serials.value();
  }
  if (!record)
    return reservation;

  if (!reservation.rewrite) {
    Result<std::int64_t> batchId =
        store.InsertBatch(request, first.value(), reservation.pool, reservation.serials);
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

int Number(std::string_view digits) {
  int value = 0;
  for (const char c : digits)
    value = value * 10 + (c - '0');
  return value;
}

int DaysInMonth(int year, int month) {
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[month - 1];
}

// "YYYY-MM-DD", optionally followed by "THH:MM:SSZ", naming a day of the
// calendar and a time of that day: both back ends then read it alike, as
// PostgreSQL would refuse "2024-13-45" where SQLite compares it as text.
bool IsLedgerTime(std::string_view text) {
  const bool date = text.size() >= 10 && IsDigits(text.substr(0, 4)) && text[4] == '-' &&
                    IsDigits(text.substr(5, 2)) && text[7] == '-' && IsDigits(text.substr(8, 2));
  if (!date)
    return false;
  const int year = Number(text.substr(0, 4));
  const int month = Number(text.substr(5, 2));
  const int day = Number(text.substr(8, 2));
  if (year < 1 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
    return false;
  if (text.size() == 10)
    return true;
  return text.size() == 20 && text[10] == 'T' && IsDigits(text.substr(11, 2)) && text[13] == ':' &&
         IsDigits(text.substr(14, 2)) && text[16] == ':' && IsDigits(text.substr(17, 2)) &&
         text[19] == 'Z' && Number(text.substr(11, 2)) < 24 && Number(text.substr(14, 2)) < 60 &&
         Number(text.substr(17, 2)) < 60;
}

std::optional<LedgerError> ValidatePool(const std::string& name, const MacRange& macs) {
  if (name.empty() || name.size() > 64 || HasControlCharacters(name))
    return PoolNameError();
  if (!IsValidUtf8(name))
    return NotUtf8Error(TextField::PoolName, name);
  if (macs.count == 0 || macs.first >= kMacSpace || kMacSpace - macs.first < macs.count)
    return PoolRangeError();
  const std::uint64_t firstOctet = macs.first >> 40;
  if (firstOctet != macs.last() >> 40 || (firstOctet & 3) != 0 ||
      ((macs.last() >> 24) & 0xffff) == 0xffff) {
    return PoolStartsError(macs);
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
  if (!filter.since.empty() && !IsLedgerTime(filter.since))
    return DateFormatError(filter.since);
  if (!IsValidUtf8(filter.pool))
    return NotUtf8Error(TextField::PoolName, filter.pool);
  return std::nullopt;
}

Result<Pool> ApplyAddPool(RuleStore& store, const std::string& name, const MacRange& macs) {
  if (std::optional<LedgerError> invalid = ValidatePool(name, macs))
    return *invalid;
  Result<std::optional<Pool>> taken = store.FindPool(name);
  if (!taken)
    return taken.error();
  if (taken.value())
    return PoolNameTakenError(name);
  Result<std::optional<Pool>> overlap = store.FirstOverlappingPool(macs);
  if (!overlap)
    return overlap.error();
  if (overlap.value())
    return PoolOverlapError(*overlap.value());
  return store.InsertPool(name, macs);
}

Result<Series> ApplyAddSeries(RuleStore& store, const std::string& name,
                              const std::string& templateText, std::optional<std::uint64_t> first) {
  if (name.empty() || name.size() > 64 || HasControlCharacters(name))
    return SeriesNameError();
  if (!IsValidUtf8(name))
    return NotUtf8Error(TextField::PoolName, name);
  serial::SerialTemplate::Parsed parsed = serial::SerialTemplate::Parse(templateText);
  if (!parsed.value)
    return SeriesTemplateError(parsed.error);
  const std::uint64_t start = first.value_or(1);
  if (start >= parsed.value->Capacity())
    return SeriesTemplateError(
        Fill({"首个序号 %1 超出模板 %2 所能表示的范围（最大 %3）",
              "The first number %1 is past what the template %2 can show (at most %3)"},
             {std::to_string(start), templateText, std::to_string(parsed.value->Capacity() - 1)}));
  Result<std::optional<Series>> taken = store.FindSeries(name);
  if (!taken)
    return taken.error();
  if (taken.value())
    return SeriesNameTakenError(name);
  return store.InsertSeries(Series{name, templateText, start, parsed.value->Capacity(), "", ""});
}

Result<BatchSummary> ApplyVoid(RuleStore& store, std::int64_t batchId, const std::string& reason) {
  const std::string why = Trimmed(reason);
  if (!IsValidUtf8(why))
    return NotUtf8Error(TextField::VoidReason, why);
  if (IsBlank(why) || HasControlCharacters(why))
    return VoidReasonError();
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
