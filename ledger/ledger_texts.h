#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "interface_text.h"
#include "ledger_result.h"
#include "ledger_types.h"

namespace quillmark::ledger {

// The one place the ledger's texts live: each refusal is one line that the
// command-line tool prints and the dialog shows as it stands.

// "批次 12：04:57:55:00:00:00 至 04:57:55:00:00:fe，工位 line3，2024-05-01T10:22:03Z"
std::string BatchText(const BatchSummary& batch);

LedgerError OverlapError(const BatchSummary& batch);
// The same devices again, but not as a plain rerun of that batch: another
// image, folder or station. --rerun names the batch when it is meant.
enum class RepeatDifference { Image, Folder, Station, Lot };
LedgerError RepeatedRangeError(const BatchSummary& batch, RepeatDifference difference);
// The same devices while a write of that batch has not ended.
LedgerError BatchInProgressError(const BatchSummary& batch);
// The detail line before an overlap with a batch whose last write was
// stopped: the arguments that finish it, written from the same image.
// The station is named when it is not the requester's.
std::string StoppedBatchHint(const BatchDetails& details, const std::string& requestStation);
// --rerun names a batch this request's devices are not.
LedgerError RerunMismatchError(std::int64_t named);
LedgerError VoidedBatchError(const BatchSummary& batch);
LedgerError OutsidePoolError(const MacRange& range, const Pool* pool);
LedgerError UnknownPoolError(const std::string& name);
LedgerError PoolFullError(const Pool& pool, std::uint64_t size);
// The pool's next free range was taken by other stations while it was
// being chosen, each time it was chosen again.
LedgerError PoolBusyError(const Pool& pool);
LedgerError NoSuchBatchError(std::int64_t id);
// An outcome for a write the ledger does not hold as running.
LedgerError NoUnfinishedWriteError(std::int64_t writeId);
LedgerError AlreadyVoidError(const BatchSummary& batch);

// What makes a batch request one the ledger cannot record.
enum class RequestFault {
  NextFreeWithoutPool,
  DeviceCount,
  MacsPerDevice,
  ImageDigest,
  NoStation,
  PastLastAddress,
  NoRerunReason,       // a batch written again on purpose without a reason
  RerunReasonLength,   // a reason past the length the ledger keeps
  ReasonWithoutRerun,  // a reason for a write that names no batch to write again
};
LedgerError InvalidRequestError(RequestFault fault);
LedgerError StationControlCharactersError(const std::string& station);
// problem: LotProblem's text.
LedgerError LotError(const std::string& problem);
LedgerError RerunReasonControlCharactersError(const std::string& reason);
// A text the ledger would store or look up that is not UTF-8: PostgreSQL
// cannot take it, and a listing could not show it.
enum class TextField { Station, OutputFolder, PoolName, Lot, VoidReason, RerunReason };
LedgerError NotUtf8Error(TextField field, const std::string& text);

LedgerError PoolNameError();
LedgerError PoolRangeError();
// Not every address of the range could start a batch.
LedgerError PoolStartsError(const MacRange& macs);
LedgerError PoolNameTakenError(const std::string& name);
LedgerError PoolOverlapError(const Pool& other);
LedgerError VoidReasonError();
LedgerError DateFormatError(const std::string& text);

// A ledger this program cannot use as it stands; shownAs is its path or
// its connection string without the password.
LedgerError NotInitializedError(const std::string& shownAs);
LedgerError NotALedgerError(const std::string& path);
LedgerError SchemaOutdatedError(const std::string& shownAs);
LedgerError SchemaTooNewError(const std::string& shownAs, int version);
// An SQLite ledger's file that is not there (it is never created but by
// init).
LedgerError LedgerMissingError(const std::string& path);
// A database's own error as one line: the ledger could not be reached,
// refused the operation or failed otherwise; detail is the database's
// message.
std::string DatabaseErrorText(LedgerFault fault, const std::string& shownAs,
                              const std::string& detail);
// A shared ledger is backed up by its database's own tool.
LedgerError PostgresBackupError();
// A backup that could not be written: its path and why.
std::string BackupNotWrittenText(const std::string& path, const std::string& reason);
// Why a file could not be written or read, from the system's error number.
std::string FileErrorText(int error);

// The warning of a write whose batch was voided while it ran: its images
// are there, but their addresses must not be used.
std::string VoidedDuringWriteText(const BatchSummary& batch);
// A run's end the ledger could not record, or whose batch it could not
// look up afterwards.
std::string OutcomeNotRecordedText(const LedgerError& error);
std::string VoidUnknownText(const LedgerError& error);
// Neither --ledger nor QUILLMARK_LEDGER names a ledger.
std::string_view NoLedgerNamedText();

// The names of the endings in exports and listings.
std::string_view EndingName(Ending ending);  // "finished", "stopped", "failed", ""
std::optional<Ending> ParseEnding(std::string_view name);
// How a listing describes a batch's state: its void, else its last write.
// A write's ending in the words listings use ("已完成", …; "未记录结果" for none).
std::string EndingText(Ending ending);
std::string StateText(const BatchDetails& details);

}  // namespace quillmark::ledger
