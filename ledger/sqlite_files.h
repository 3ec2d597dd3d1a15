#pragma once

#include <string>

#include "ledger_result.h"

namespace quillmark::ledger {

// The file of a ledger no one else is meant to read: the per-user default.
// Each folder missing on the way is made 0700 and the file 0600 (empty,
// for the ledger's creation to fill), whatever the umask. What exists
// already is left as it is; what cannot be made is left to the ledger's
// creation to report.
void CreatePrivateLedgerFile(const std::string& path);

// Copies the SQLite ledger at path into copyFile, an empty file open for
// reading and writing, as one consistent snapshot of what was committed
// (the write-ahead log included) while stations go on writing. The copy
// is reached through the descriptor alone, never by a name, and takes the
// ledger's permission bits. A copy that cannot be written is an error
// naming shownAs and why.
Status BackupSqliteLedger(const std::string& path, int copyFile, const std::string& shownAs);

}  // namespace quillmark::ledger
