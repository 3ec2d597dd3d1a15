#include "sqlite_handle.h"

#include <sys/stat.h>

#include <filesystem>
#include <utility>

#include "interface_text.h"
#include "ledger_texts.h"
#ifndef _WIN32
#include "sqlite_descriptor_vfs.h"
#endif

namespace quillmark::ledger {
namespace {

// Long enough for every other station's short transaction to end; the
// default of 0 fails at once while another process writes.
constexpr int kBusyTimeoutMs = 15000;
constexpr int kBackupRetryMs = 50;

// Copies every page in one step, asked again while another connection
// keeps the ledger out for a moment; the step's failure, else the finish's.
int CopyWhole(sqlite3_backup* backup) {
  int stepped = SQLITE_OK;
  for (int attempt = 0; attempt * kBackupRetryMs < kBusyTimeoutMs; ++attempt) {
    stepped = sqlite3_backup_step(backup, -1);
    if (stepped != SQLITE_BUSY && stepped != SQLITE_LOCKED)
      break;
    sqlite3_sleep(kBackupRetryMs);
  }
  const int finished = sqlite3_backup_finish(backup);
  return stepped != SQLITE_DONE ? stepped : finished;
}

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

// A folder a group shares (setgid), where a reader may find the -wal and
// -shm kept; Windows has no such folders.
bool InSharedFolder([[maybe_unused]] const std::string& path) {
#ifdef _WIN32
  return false;
#else
  std::string folder = std::filesystem::path(path).parent_path().string();
  struct stat status {};
  return ::stat(folder.empty() ? "." : folder.c_str(), &status) == 0 &&
         (status.st_mode & S_ISGID) != 0;
#endif
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

#ifndef _WIN32
Status SqliteDatabase::BackupInto(FileHandle file, const std::string& shownAs) {
  const DescriptorDatabase target(static_cast<int>(file));
  sqlite3* raw = nullptr;
  const int opened = sqlite3_open_v2(target.Name().c_str(), &raw, SQLITE_OPEN_READWRITE,
                                     DescriptorDatabase::Vfs());
  SqliteDatabase copy(raw, shownAs);
  // The copy's own failure, with the system's reason where there is one.
  const auto notWritten = [&](int code) {
    const std::string reason = target.LastError() != 0 ? FileErrorText(target.LastError())
                               : copy.m_db != nullptr  ? std::string(sqlite3_errmsg(copy.m_db))
                                                       : std::string(sqlite3_errstr(code));
    return LedgerError{LedgerFault::Unavailable, BackupNotWrittenText(shownAs, reason),
                       std::nullopt, std::to_string(code)};
  };
  if (opened != SQLITE_OK)
    return notWritten(opened);
  sqlite3_extended_result_codes(copy.m_db, 1);
  // No journal beside the copy: a failed copy is thrown away whole. Its
  // pages go through the descriptor alone.
  if (sqlite3_exec(copy.m_db, "PRAGMA journal_mode = MEMORY; PRAGMA temp_store = MEMORY;", nullptr,
                   nullptr, nullptr) != SQLITE_OK)
    return notWritten(sqlite3_errcode(copy.m_db));
  sqlite3_backup* backup = sqlite3_backup_init(copy.m_db, "main", m_db, "main");
  if (backup == nullptr)
    return notWritten(sqlite3_errcode(copy.m_db));
  // A reader in WAL mode waits for no writer; only the log's recovery by
  // another connection can keep it out for a moment.
  const int failed = CopyWhole(backup);
  if (failed != SQLITE_DONE && failed != SQLITE_OK) {
    // What the descriptor met is the copy's; the rest is the ledger's.
    if (target.LastError() != 0 || (failed & 0xff) == SQLITE_FULL)
      return notWritten(failed);
    const bool ownError = sqlite3_errcode(m_db) != SQLITE_OK;
    const int code = ownError ? sqlite3_extended_errcode(m_db) : failed;
    const std::string detail = sqlite3_errmsg(ownError ? m_db : copy.m_db);
    return LedgerError{FaultOf(code), DatabaseErrorText(FaultOf(code), m_path, detail),
                       std::nullopt, std::to_string(code)};
  }
  // Closed here so that a failure to close (the last of the data not
  // written) is seen before the copy is put in place.
  sqlite3* const handle = std::exchange(copy.m_db, nullptr);
  if (const int closed = sqlite3_close(handle); closed != SQLITE_OK) {
    sqlite3_close_v2(handle);
    return notWritten(closed);
  }
  return Done{};
}

#else
// Windows has no descriptor SQLite could write through: the snapshot is
// taken into memory, then written into the open copy whole.
Status SqliteDatabase::BackupInto(FileHandle file, const std::string& shownAs) {
  sqlite3* raw = nullptr;
  const int opened =
      sqlite3_open_v2(":memory:", &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  SqliteDatabase copy(raw, shownAs);
  const auto notWritten = [&](int code, const std::string& reason) {
    return LedgerError{LedgerFault::Unavailable, BackupNotWrittenText(shownAs, reason),
                       std::nullopt, std::to_string(code)};
  };
  if (opened != SQLITE_OK)
    return notWritten(opened, sqlite3_errstr(opened));
  sqlite3_backup* backup = sqlite3_backup_init(copy.m_db, "main", m_db, "main");
  if (backup == nullptr)
    return notWritten(sqlite3_errcode(copy.m_db), sqlite3_errmsg(copy.m_db));
  const int failed = CopyWhole(backup);
  if (failed != SQLITE_DONE && failed != SQLITE_OK) {
    const int code = sqlite3_errcode(m_db) != SQLITE_OK ? sqlite3_extended_errcode(m_db) : failed;
    return LedgerError{FaultOf(code),
                       DatabaseErrorText(FaultOf(code), m_path, sqlite3_errmsg(m_db)), std::nullopt,
                       std::to_string(code)};
  }
  sqlite3_int64 size = 0;
  unsigned char* const bytes = sqlite3_serialize(copy.m_db, "main", &size, 0);
  if (bytes == nullptr)
    return notWritten(SQLITE_NOMEM, sqlite3_errstr(SQLITE_NOMEM));
  SystemFiles files;
  const bool written = files.WriteAll(file, bytes, static_cast<std::uint64_t>(size)) ==
                       static_cast<std::uint64_t>(size);
  sqlite3_free(bytes);
  if (!written)
    return notWritten(SQLITE_IOERR, std::string(Pick({"写入出错", "writing failed"})));
  return Done{};
}
#endif

LedgerError SqliteDatabase::Error(int code) const {
  const LedgerFault fault = FaultOf(code);
  const std::string detail = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
  const std::string message = DatabaseErrorText(fault, m_path, detail);
  return LedgerError{fault, message, std::nullopt, std::to_string(code)};
}

}  // namespace quillmark::ledger
