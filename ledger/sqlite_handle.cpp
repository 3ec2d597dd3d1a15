#include "sqlite_handle.h"

#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

// Long enough for every other station's short transaction to end; the
// default of 0 fails at once while another process writes.
constexpr int kBusyTimeoutMs = 15000;
constexpr int kBackupRetryMs = 50;

LedgerFault FaultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_FULL:
    case SQLITE_PROTOCOL:
      return LedgerFault::Unavailable;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_AUTH:
      return LedgerFault::Denied;
    case SQLITE_NOTADB:
      return LedgerFault::NotALedger;
    default:
      return LedgerFault::Failed;
  }
}

bool InSharedFolder(const std::string& path) {
  std::string folder = std::filesystem::path(path).parent_path().string();
  struct stat status {};
  return ::stat(folder.empty() ? "." : folder.c_str(), &status) == 0 &&
         (status.st_mode & S_ISGID) != 0;
}

}  // namespace

SqliteStatement::~SqliteStatement() {
  sqlite3_finalize(m_statement);
}

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : m_db(other.m_db), m_statement(std::exchange(other.m_statement, nullptr)) {}

SqliteStatement& SqliteStatement::Bind(const char* name, std::int64_t value) {
  sqlite3_bind_int64(m_statement, sqlite3_bind_parameter_index(m_statement, name), value);
  return *this;
}

SqliteStatement& SqliteStatement::Bind(const char* name, const std::string& value) {
  sqlite3_bind_text(m_statement, sqlite3_bind_parameter_index(m_statement, name), value.data(),
                    static_cast<int>(value.size()), SQLITE_TRANSIENT);
  return *this;
}

SqliteStatement& SqliteStatement::BindNullable(const char* name, const std::string& value) {
  if (value.empty()) {
    sqlite3_bind_null(m_statement, sqlite3_bind_parameter_index(m_statement, name));
    return *this;
  }
  return Bind(name, value);
}

int SqliteStatement::Step() {
  return sqlite3_step(m_statement);
}

std::int64_t SqliteStatement::Int64(int column) const {
  return sqlite3_column_int64(m_statement, column);
}

std::string SqliteStatement::Text(int column) const {
  const auto* text = sqlite3_column_text(m_statement, column);
  if (text == nullptr)
    return {};
  return std::string(reinterpret_cast<const char*>(text),
                     static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)));
}

bool SqliteStatement::IsNull(int column) const {
  return sqlite3_column_type(m_statement, column) == SQLITE_NULL;
}

Result<SqliteDatabase> SqliteDatabase::Open(const std::string& path, bool create, bool readOnly) {
  sqlite3* db = nullptr;
  const int flags =
      readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const int opened = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  SqliteDatabase database(db, path);
  if (opened != SQLITE_OK) {
    if (!create && (opened & 0xff) == SQLITE_CANTOPEN) {
      return LedgerMissingError(path);
    }
    return database.Error(opened);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
  // In a shared ledger's folder (setgid, as ledger init --group makes it)
  // the -wal and -shm files stay when the last connection closes: an
  // account that may only read the ledger cannot make them again.
  if (InSharedFolder(path)) {
    int persist = 1;
    sqlite3_file_control(db, "main", SQLITE_FCNTL_PERSIST_WAL, &persist);
  }
  // A committed batch survives a power cut; the rule lives in triggers
  // and foreign keys that hold for every writer.
  if (Status set = database.Exec("PRAGMA synchronous = FULL; PRAGMA foreign_keys = ON;"); !set)
    return set.error();
  return database;
}

SqliteDatabase::~SqliteDatabase() {
  sqlite3_close_v2(m_db);
}

SqliteDatabase::SqliteDatabase(SqliteDatabase&& other) noexcept
    : m_db(std::exchange(other.m_db, nullptr)), m_path(std::move(other.m_path)) {}

Status SqliteDatabase::Exec(const std::string& sql) {
  const int code = sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, nullptr);
  if (code != SQLITE_OK)
    return Error(code);
  return Done{};
}

Result<SqliteStatement> SqliteDatabase::Prepare(std::string_view sql) {
  sqlite3_stmt* statement = nullptr;
  const int code =
      sqlite3_prepare_v2(m_db, sql.data(), static_cast<int>(sql.size()), &statement, nullptr);
  if (code != SQLITE_OK)
    return Error(code);
  return SqliteStatement(m_db, statement);
}

Status SqliteDatabase::Run(SqliteStatement& statement) {
  int code = statement.Step();
  while (code == SQLITE_ROW)
    code = statement.Step();
  if (code != SQLITE_DONE)
    return Error(code);
  return Done{};
}

Result<std::optional<std::int64_t>> SqliteDatabase::QueryInt(std::string_view sql) {
  Result<SqliteStatement> statement = Prepare(sql);
  if (!statement)
    return statement.error();
  return QueryInt(statement.value());
}

Result<std::optional<std::int64_t>> SqliteDatabase::QueryInt(SqliteStatement& statement) {
  const int code = statement.Step();
  if (code == SQLITE_DONE)
    return std::optional<std::int64_t>();
  if (code != SQLITE_ROW)
    return Error(code);
  const std::int64_t value = statement.Int64(0);
  // Runs an INSERT … RETURNING to its end.
  if (Status rest = Run(statement); !rest)
    return rest.error();
  return std::optional<std::int64_t>(value);
}

Status SqliteDatabase::BackupInto(const std::string& path) {
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(path.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
  SqliteDatabase copy(raw, path);
  if (opened != SQLITE_OK)
    return copy.Error(opened);
  sqlite3_backup* backup = sqlite3_backup_init(copy.m_db, "main", m_db, "main");
  if (backup == nullptr)
    return copy.Error(sqlite3_errcode(copy.m_db));
  // A reader in WAL mode waits for no writer; only the log's recovery by
  // another connection can keep it out for a moment.
  int stepped = SQLITE_OK;
  for (int attempt = 0; attempt * kBackupRetryMs < kBusyTimeoutMs; ++attempt) {
    stepped = sqlite3_backup_step(backup, -1);
    if (stepped != SQLITE_BUSY && stepped != SQLITE_LOCKED)
      break;
    sqlite3_sleep(kBackupRetryMs);
  }
  const int finished = sqlite3_backup_finish(backup);
  if (stepped != SQLITE_DONE)
    return copy.Error(stepped);
  if (finished != SQLITE_OK)
    return copy.Error(finished);
  // Closed here so that a failure to close (the last of the data not
  // written) is seen before the copy is put in place.
  sqlite3* const handle = std::exchange(copy.m_db, nullptr);
  if (const int closed = sqlite3_close(handle); closed != SQLITE_OK) {
    sqlite3_close_v2(handle);
    return copy.Error(closed);
  }
  return Done{};
}

LedgerError SqliteDatabase::Error(int code) const {
  const LedgerFault fault = FaultOf(code);
  const std::string detail = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
  const std::string message = DatabaseErrorText(fault, m_path, detail);
  return LedgerError{fault, message, std::nullopt, std::to_string(code)};
}

}  // namespace quillmark::ledger
