#pragma once

#include <string>

#include "ledger_result.h"
#include "platform_file.h"

namespace quillmark::ledger {

// Copies the SQLite ledger at path into copyFile, an empty file open for
// reading and writing, as one consistent snapshot of what was committed
// (the write-ahead log included) while stations go on writing. The copy
// is reached through the open file alone, never by a name, and takes the
// ledger's permissions. A copy that cannot be written is an error naming
// shownAs and why.
Status BackupSqliteLedger(const std::string& path, FileHandle copyFile, const std::string& shownAs);

}  // namespace quillmark::ledger
