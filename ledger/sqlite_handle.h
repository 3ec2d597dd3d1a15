#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "ledger_result.h"
#include "platform_file.h"

namespace quillmark::ledger {

// One prepared statement, finalized when it goes. Parameters are bound by
// name (":first"); columns are read by index.
class SqliteStatement {
 public:
  SqliteStatement(sqlite3* db, sqlite3_stmt* statement) : m_db(db), m_statement(statement) {}
  ~SqliteStatement();
  SqliteStatement(SqliteStatement&& other) noexcept;
  SqliteStatement& operator=(SqliteStatement&&) = delete;
  SqliteStatement(const SqliteStatement&) = delete;

  SqliteStatement& Bind(const char* name, std::int64_t value);
  SqliteStatement& Bind(const char* name, const std::string& value);
  SqliteStatement& BindNullable(const char* name, const std::string& value);  // empty is NULL

  // SQLITE_ROW, SQLITE_DONE or the error code.
  int Step();
  std::int64_t Int64(int column) const;
  std::string Text(int column) const;  // NULL reads as empty
  bool IsNull(int column) const;

 private:
  sqlite3* m_db = nullptr;
  sqlite3_stmt* m_statement = nullptr;
};

// One connection, closed when it goes.
class SqliteDatabase {
 public:
  // readOnly opens it for reading alone, as an account that may only read
  // the ledger can.
  static Result<SqliteDatabase> Open(const std::string& path, bool create, bool readOnly = false);
  ~SqliteDatabase();
  SqliteDatabase(SqliteDatabase&& other) noexcept;
  SqliteDatabase& operator=(SqliteDatabase&&) = delete;
  SqliteDatabase(const SqliteDatabase&) = delete;

  Status Exec(const std::string& sql);
  Result<SqliteStatement> Prepare(std::string_view sql);
  // Steps a statement that returns no rows (or ignores them).
  Status Run(SqliteStatement& statement);
  // The single integer a statement returns, if it returns a row.
  Result<std::optional<std::int64_t>> QueryInt(std::string_view sql);
  Result<std::optional<std::int64_t>> QueryInt(SqliteStatement& statement);
  // Copies every page of this database into the empty file open as fd
  // (for reading and writing) through SQLite's online backup: one read
  // transaction, so the copy is what was committed when it began, the
  // write-ahead log included, while other connections go on writing. The
  // copy is reached through fd alone, never by a name. A copy that cannot
  // be written is BackupNotWrittenText naming shownAs and why.
  Status BackupInto(FileHandle file, const std::string& shownAs);
  const std::string& path() const { return m_path; }
  // Rows the last statement changed.
  int Changes() const { return sqlite3_changes(m_db); }
  // Whether SQLite opened the file for reading alone (it does so, silently,
  // with a file the user may not write).
  bool ReadOnly() const { return sqlite3_db_readonly(m_db, "main") == 1; }
  // The error for the last failing call, with code the failing result.
  LedgerError Error(int code) const;

 private:
  SqliteDatabase(sqlite3* db, std::string path) : m_db(db), m_path(std::move(path)) {}

  sqlite3* m_db = nullptr;
  std::string m_path;
};

}  // namespace quillmark::ledger
