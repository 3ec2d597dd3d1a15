#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ledger_location.h"
#include "ledger_result.h"
#include "ledger_schema_version.h"
#include "ledger_types.h"
#include "platform_file.h"

namespace quillmark::ledger {

// The record of every MAC address range ever issued. Each call is one
// short transaction of its own; none stays open between calls, so nothing
// is held while images are written.
class Ledger {
 public:
  virtual ~Ledger() = default;

  // Records the batch as reserved before its first device: a new batch, or
  // another write of the batch of the same devices. Refused when the range
  // overlaps another batch, lies outside its pool, or is void.
  virtual Result<Reservation> Reserve(const BatchRequest& request) = 0;
  // What Reserve would answer now; changes nothing.
  virtual Result<Reservation> Check(const BatchRequest& request) = 0;
  // The outcome of a write, recorded once when its run ends.
  virtual Status RecordOutcome(std::int64_t writeId, const WriteOutcome& outcome) = 0;

  virtual Result<Pool> AddPool(const std::string& name, const MacRange& macs) = 0;
  virtual Result<std::vector<Pool>> Pools() = 0;
  // A new series of serial numbers whose first number is first (1 when
  // none is given); refused when the template could run out or does not
  // read.
  virtual Result<Series> AddSeries(const std::string& name, const std::string& templateText,
                                   std::optional<std::uint64_t> first) = 0;
  virtual Result<std::vector<Series>> SeriesList() = 0;
  // Batches by id, each with its writes, voided ones included.
  virtual Result<std::vector<BatchDetails>> Batches(const BatchFilter& filter) = 0;
  // Marks a batch void; it stays in the ledger and keeps blocking its range.
  virtual Result<BatchSummary> Void(std::int64_t batchId, const std::string& reason) = 0;
};

// Opens a ledger whose schema is current. Creates nothing: a missing or
// outdated ledger is an error that points to `ledger init`.
// An SQLite ledger opened for reading alone (listings, reports, checks)
// needs only read access; PostgreSQL's roles decide alike for both.
enum class LedgerAccess { ReadWrite, ReadOnly };
Result<std::unique_ptr<Ledger>> OpenLedger(const LedgerLocation& location,
                                           LedgerAccess access = LedgerAccess::ReadWrite);

struct InitReport {
  int versionBefore = 0;  // 0: the ledger was created
  int versionAfter = 0;
};

// Creates the ledger or upgrades its schema to the given version (the
// current one unless a test asks for an older one), in one transaction.
Result<InitReport> InitLedger(const LedgerLocation& location,
                              int targetVersion = kLedgerSchemaVersion);

// Copies an SQLite ledger into copyFile, an empty file open for reading
// and writing, through SQLite's online backup: what was committed, the
// write-ahead log included, while stations go on writing. SQLite reaches
// the copy through the descriptor alone, never by a name; a copy that
// cannot be written is an error naming shownAs (its path) and why. A
// PostgreSQL ledger is refused with the line that names pg_dump.
Status BackupLedger(const LedgerLocation& location, FileHandle copyFile,
                    const std::string& shownAs);

// InitLedger for a ledger several accounts share: the SQLite ledger's
// file and folder are first given to the group (see
// PrepareSharedLedgerFiles). Refused for PostgreSQL, whose roles decide.
Result<InitReport> InitSharedLedger(const LedgerLocation& location, const std::string& group);

// The station's default name: the host name.
std::string DefaultStationName();

}  // namespace quillmark::ledger
