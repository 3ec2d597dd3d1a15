#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "ledger_result.h"

namespace quillmark::ledger {

enum class LedgerKind { SQLite, PostgreSQL };

// Where a ledger lives: an SQLite file, or a PostgreSQL database named by
// a connection string that libpq reads.
struct LedgerLocation {
  LedgerKind kind = LedgerKind::SQLite;
  std::string target;  // the file path, or the connection string as given

  // What may be shown: the path, or the connection string without its
  // password.
  std::string Display() const;
};

// The files an SQLite ledger is: its file and, while in use, its
// write-ahead log, shared memory and journal (replacing the log would lose
// what it holds), by the path given and, where a link leads elsewhere, by
// the path SQLite names them after; none for PostgreSQL. No output of a
// ledger command may take one of their names, whether or not the file is
// there now: SQLite removes or replays what it finds there.
std::vector<std::string> LedgerFiles(const LedgerLocation& location);

// "default" is $XDG_DATA_HOME/quillmark/ledger.sqlite3 (~/.local/share/…);
// "postgresql://…", "postgres://…" or "keyword=value …" (e.g.
// "service=NAME") is PostgreSQL; anything else is an SQLite file path.
Result<LedgerLocation> ParseLedgerLocation(std::string_view text);

// $XDG_DATA_HOME/quillmark/ledger.sqlite3, falling back to
// $HOME/.local/share when XDG_DATA_HOME is unset, empty or relative.
Result<std::string> DefaultLedgerPath();

// A URI whose password holds a raw "/", "?" or "@": libpq reads the rest
// of the password as the database name, so the URI cannot be shown or used.
bool UriPasswordMisread(std::string_view conninfo);

// The connection string with its password left out, as libpq reads it.
std::string ConnectionTextWithoutPassword(const std::string& conninfo);

}  // namespace quillmark::ledger
