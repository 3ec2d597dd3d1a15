#pragma once

#include <string>

#include "ledger_result.h"

namespace quillmark::ledger {

// Copies the SQLite ledger at path into copyPath, an existing empty file,
// as one consistent snapshot of what was committed (the write-ahead log
// included) while stations go on writing. The copy takes the ledger's
// permission bits.
Status BackupSqliteLedger(const std::string& path, const std::string& copyPath);

}  // namespace quillmark::ledger
