#pragma once

#include <span>
#include <string_view>

namespace quillmark::ledger {

// One step of the schema: the SQL that brings a ledger from the version
// before to this one. The files under ledger/sql, built into the program;
// the version is the file's number, recorded by whoever applies the step.
struct Migration {
  int version = 0;
  std::string_view sql;
};

std::span<const Migration> SqliteMigrations();
std::span<const Migration> PostgresMigrations();
// The least-privilege roles of a shared ledger (run by its administrator).
std::string_view PostgresRolesSql();
// Those roles' rights on the current schema, granted by every init.
std::string_view PostgresGrantsSql();

}  // namespace quillmark::ledger
