#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ledger_location.h"
#include "ledger_result.h"
#include "platform_file.h"

// What the ledger asks of the system it runs on, one source per system:
// ledger_system_posix.cpp, ledger_system_win32.cpp.
namespace quillmark::ledger {

// The account a write is recorded under.
std::string SystemUserName();

// The path a word names: "default" everywhere, "station" on Windows;
// nothing for any other text, which is a path of its own.
std::optional<Result<std::string>> BuiltInLedgerPath(std::string_view word);

// Before `ledger init` creates an SQLite ledger: the file of a built-in
// ledger is made with the rights its sharing needs (what exists already is
// left as it is); a ledger elsewhere is created as its folder allows. A
// refusal when the rights cannot be given: a shared ledger made without
// them could be replaced by anyone who uses it.
Status PrepareLedgerFile(const std::string& path);

// A backup copy, open as copyFile, takes the ledger's own permissions
// where the system has them per file; set on the open file, before any of
// the ledger is in it, as its name could lead elsewhere by now.
Status GiveLedgerPermissions(const std::string& ledgerPath, FileHandle copyFile,
                             const std::string& shownAs);

// What a PostgreSQL location is answered with where no back end may reach
// it; empty where one may.
std::string PostgresRefusal();

}  // namespace quillmark::ledger
