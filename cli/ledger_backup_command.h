#pragma once

#include <string>

#include "ledger_location.h"

namespace quillmark::cli {

// quillmark-cli ledger backup FILE: a consistent copy of an SQLite ledger,
// taken while stations write, put in place under FILE only once complete.
// A PostgreSQL ledger is refused with the line that names pg_dump.
// Returns the exit status.
int RunLedgerBackup(const ledger::LedgerLocation& location, const std::string& path);

}  // namespace quillmark::cli
