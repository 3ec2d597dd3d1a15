#include "sqlite_handle.h"

#include <utility>

#include "ledger_texts.h"

namespace quillmark::ledger {
namespace {

// Long enough for every other station's short transaction to end; the
// default of 0 fails at once while another process writes.
constexpr int kBusyTimeoutMs = 15000;

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

Result<SqliteDatabase> SqliteDatabase::Open(const std::string& path, bool create) {
  sqlite3* db = nullptr;
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0);
  const int opened = sqlite3_open_v2(path.c_str(), &db, flags, nullptr);
  SqliteDatabase database(db, path);
  if (opened != SQLITE_OK) {
    if (!create && (opened & 0xff) == SQLITE_CANTOPEN) {
      return Fault(LedgerFault::NotInitialized,
                   Fill({"账本不存在！%1（先运行 quillmark-cli ledger init）",
                         "There is no ledger: %1 (run quillmark-cli ledger init first)"},
                        {path}));
    }
    return database.Error(opened);
  }
  sqlite3_extended_result_codes(db, 1);
  sqlite3_busy_timeout(db, kBusyTimeoutMs);
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

LedgerError SqliteDatabase::Error(int code) const {
  const LedgerFault fault = FaultOf(code);
  const std::string detail = m_db != nullptr ? sqlite3_errmsg(m_db) : sqlite3_errstr(code);
  std::string message;
  switch (fault) {
    case LedgerFault::Unavailable:
      message = UnavailableText(m_path, detail);
      break;
    case LedgerFault::Denied:
      message = DeniedText(m_path, detail);
      break;
    case LedgerFault::NotALedger:
      message = NotALedgerText(m_path);
      break;
    default:
      message = OperationFailedText(m_path, detail);
      break;
  }
  return LedgerError{fault, message, std::nullopt, std::to_string(code)};
}

}  // namespace quillmark::ledger
