#pragma once

#include <optional>
#include <string>

#include "ledger_result.h"

namespace quillmark::ledger {

// Why the SQLite ledger at path cannot be opened as asked, before SQLite
// tries: missing, or a file (the ledger, its -wal or -shm) or folder the
// effective user may not read or write, named with the reason. A reader
// needs the ledger, -wal and -shm readable, or the folder writable to
// create the last two; a writer needs all of them writable (and the
// folder, for what is missing).
std::optional<LedgerError> SqliteAccessProblem(const std::string& path, bool write);

// Prepares the file of a ledger shared by a group's accounts: each folder
// missing on the way, and the ledger's own folder when it holds nothing
// but the ledger, made 2770 for the group (setgid, so the -wal and -shm
// SQLite creates later take the group; SQLite gives them the ledger's
// mode), and the ledger file, with its -wal and -shm where they exist,
// 0660 for the group. group is a group's name or number.
Status PrepareSharedLedgerFiles(const std::string& path, const std::string& group);

}  // namespace quillmark::ledger
