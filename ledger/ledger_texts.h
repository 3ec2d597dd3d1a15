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
LedgerError RepeatedRangeError(const BatchSummary& batch, const InterfaceText& difference);
// The same devices while a write of that batch has not ended.
LedgerError BatchInProgressError(const BatchSummary& batch);
// --rerun names a batch this request's devices are not.
LedgerError RerunMismatchError(std::int64_t named);
LedgerError VoidedBatchError(const BatchSummary& batch);
LedgerError OutsidePoolError(const MacRange& range, const Pool* pool);
LedgerError UnknownPoolError(const std::string& name);
LedgerError PoolFullError(const Pool& pool, std::uint64_t size);
LedgerError NoSuchBatchError(std::int64_t id);
LedgerError AlreadyVoidError(const BatchSummary& batch);
LedgerError InvalidRequestError(std::string_view what);

// The refusals both back ends give, where names the ledger (its path or
// its connection shown without a password).
std::string NotInitializedText(const std::string& where);
std::string SchemaTooNewText(const std::string& where, int version);
std::string SchemaOutdatedText(const std::string& where);
std::string UnavailableText(const std::string& where, const std::string& detail);
std::string DeniedText(const std::string& where, const std::string& detail);
std::string OperationFailedText(const std::string& where, const std::string& detail);
std::string NoOpenWriteText(std::int64_t writeId);
std::string NotALedgerText(const std::string& path);
// Neither --ledger nor QUILLMARK_LEDGER names a ledger.
std::string_view NoLedgerNamedText();

// The names of the endings in exports and listings.
std::string_view EndingName(Ending ending);  // "finished", "stopped", "failed", ""
std::optional<Ending> ParseEnding(std::string_view name);
// How a listing describes a batch's state: its void, else its last write.
std::string StateText(const BatchDetails& details);

}  // namespace quillmark::ledger
