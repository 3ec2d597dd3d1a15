#pragma once

#include <optional>
#include <string>
#include <utility>
#include <variant>

#include "ledger_types.h"

namespace quillmark::ledger {

// Why the ledger said no, or could not answer.
enum class LedgerFault {
  Overlap,          // the range overlaps a recorded batch (named in the error)
  VoidedBatch,      // the same devices as a batch that was voided
  BatchInProgress,  // the same devices as a batch another write has not ended
  OutsidePool,      // the range does not lie inside its pool, or inside any pool
  UnknownPool,      // no pool has that name
  PoolFull,         // no free range of that size is left in the pool
  PoolBusy,         // the range chosen was taken meanwhile, again and again
  PoolConflict,     // a new pool overlaps another or takes a name in use
  UnknownSeries,    // no serial series has that name
  SeriesFull,       // the series has fewer numbers left than the batch has devices
  SeriesConflict,   // a new series takes a name in use, or its template is refused
  SerialOverlap,    // the serials overlap another batch's (named in the error)
  SeriesMismatch,   // another write of a batch names another series than it has
  NoSuchBatch,      // no batch (or write) has that id
  AlreadyVoid,      // the batch was voided before
  InvalidRequest,   // a value the ledger cannot record (counts, digest, dates)
  NotInitialized,   // nothing at the location holds a ledger yet
  NotALedger,       // the location holds something else
  SchemaOutdated,   // the ledger needs `ledger init` to upgrade it
  SchemaTooNew,     // the ledger was made by a newer Quillmark
  Denied,           // the database refused the privilege
  Unavailable,      // cannot be reached, opened or locked in time
  Failed,           // any other database error
};

struct LedgerError {
  LedgerFault fault = LedgerFault::Failed;
  std::string message;                // one line for the user, never holding a password
  std::optional<BatchSummary> batch;  // the batch in the way, where there is one
  std::string code;                   // the database's own error code (SQLSTATE, SQLite code)
};

struct Done {};

// A value or the error that took its place. Nothing is thrown across the
// ledger's interface.
template <class T>
class [[nodiscard]] Result {
 public:
  Result(T value) : m_value(std::move(value)) {}            // NOLINT: implicit by design
  Result(LedgerError error) : m_value(std::move(error)) {}  // NOLINT

  bool ok() const { return m_value.index() == 0; }
  explicit operator bool() const { return ok(); }
  T& value() & { return std::get<0>(m_value); }
  const T& value() const& { return std::get<0>(m_value); }
  // Moved out of a temporary, so `for (x : Load().value())` owns what it reads.
  T value() && { return std::move(std::get<0>(m_value)); }
  T* operator->() { return &value(); }
  const T* operator->() const { return &value(); }
  const LedgerError& error() const { return std::get<1>(m_value); }

 private:
  std::variant<T, LedgerError> m_value;
};

using Status = Result<Done>;

inline LedgerError Fault(LedgerFault fault, std::string message) {
  return LedgerError{fault, std::move(message), std::nullopt, {}};
}

}  // namespace quillmark::ledger
