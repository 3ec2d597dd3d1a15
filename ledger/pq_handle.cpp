#include "pq_handle.h"

#include "ledger_location.h"
#include "ledger_texts.h"

#include <array>
#include <charconv>
#include <utility>

namespace quillmark::ledger {
namespace {

// libpq's messages span lines; a refusal is one.
std::string OneLine(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' '))
    text.pop_back();
  for (char& c : text) {
    if (c == '\n' || c == '\t')
      c = ' ';
  }
  return text;
}

LedgerFault FaultOf(std::string_view state) {
  if (state.substr(0, 2) == "08" || state == "57P01" || state == "57P02" || state == "57P03" ||
      state == "55P03" || state == "53300") {
    return LedgerFault::Unavailable;
  }
  if (state == "42501")
    return LedgerFault::Denied;
  if (state == "3F000" || state == "42P01")
    return LedgerFault::NotInitialized;
  return LedgerFault::Failed;
}

// A number column as the server wrote it; empty (NULL) reads as 0.
std::int64_t Number(std::string_view text) {
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

}  // namespace

std::string WithoutConnectionText(std::string_view message, std::string_view conninfo) {
  std::string shown;
  std::size_t at = 0;
  while (at < message.size()) {
    const std::size_t open = message.find('"', at);
    if (open == std::string_view::npos) {
      shown += message.substr(at);
      break;
    }
    shown += message.substr(at, open + 1 - at);
    const std::size_t close = message.find('"', open + 1);
    if (close == std::string_view::npos) {
      shown += "…";
      break;
    }
    const std::string_view quoted = message.substr(open + 1, close - open - 1);
    const bool fromConnectionText =
        !quoted.empty() && conninfo.find(quoted) != std::string_view::npos;
    shown += fromConnectionText ? "…" : std::string(quoted);
    shown += '"';
    at = close + 1;
  }
  return OneLine(shown);
}

PqResult::~PqResult() {
  PQclear(m_result);
}

PqResult::PqResult(PqResult&& other) noexcept : m_result(std::exchange(other.m_result, nullptr)) {}

std::string PqResult::Text(int row, int column) const {
  return std::string(PQgetvalue(m_result, row, column),
                     static_cast<std::size_t>(PQgetlength(m_result, row, column)));
}

std::int64_t PqResult::Int64(int row, int column) const {
  return Number(PQgetvalue(m_result, row, column));
}

std::int64_t PqResult::Affected() const {
  return Number(PQcmdTuples(m_result));
}

Result<PqConnection> PqConnection::Connect(const std::string& conninfo, std::string shownAs) {
  // Keywords before "dbname" are defaults the connection string overrides:
  // a station gives up on an unreachable server rather than hang.
  const std::array<const char*, 4> keywords = {"connect_timeout", "application_name", "dbname",
                                               nullptr};
  const std::array<const char*, 4> values = {"10", "quillmark", conninfo.c_str(), nullptr};
  // A string libpq cannot read is refused before any connection: its
  // messages quote the piece they stumbled on, which may be the password.
  char* parseError = nullptr;
  PQconninfoOption* parsed = PQconninfoParse(conninfo.c_str(), &parseError);
  const std::string parseMessage = parseError != nullptr ? parseError : "";
  PQfreemem(parseError);
  if (parsed == nullptr || UriPasswordMisread(conninfo)) {
    PQconninfoFree(parsed);
    return Fault(LedgerFault::InvalidRequest,
                 "账本连接字符串无法解析！" + WithoutConnectionText(parseMessage, conninfo));
  }
  PQconninfoFree(parsed);
  PqConnection connection(PQconnectdbParams(keywords.data(), values.data(), 1), std::move(shownAs),
                          conninfo);
  if (connection.m_conn == nullptr)
    return Fault(LedgerFault::Unavailable, "账本无法访问！内存不足");
  if (connection.Lost())
    return connection.ConnectionError();
  // The server's notices ("already exists, skipping") are not for the user.
  PQsetNoticeProcessor(
      connection.m_conn, [](void*, const char*) {}, nullptr);
  if (Status prepared = connection.PrepareSession(); !prepared)
    return prepared.error();
  return connection;
}

PqConnection::~PqConnection() {
  PQfinish(m_conn);
}

PqConnection::PqConnection(PqConnection&& other) noexcept
    : m_conn(std::exchange(other.m_conn, nullptr)),
      m_shownAs(std::move(other.m_shownAs)),
      m_conninfo(std::move(other.m_conninfo)) {}

Status PqConnection::PrepareSession() {
  // Times are shown in UTC on every station; a transaction waits at most
  // this long for another's lock.
  return Run("SET TIME ZONE 'UTC'; SET lock_timeout = '15s'");
}

Status PqConnection::Reconnect() {
  PQreset(m_conn);
  if (Lost())
    return ConnectionError();
  return PrepareSession();
}

Result<PqResult> PqConnection::Exec(std::string_view sql, const PqParams& params) {
  const std::string text(sql);
  PGresult* raw = nullptr;
  if (params.empty()) {
    raw = PQexec(m_conn, text.c_str());
  } else {
    std::vector<const char*> values;
    for (const std::optional<std::string>& param : params)
      values.push_back(param ? param->c_str() : nullptr);
    raw = PQexecParams(m_conn, text.c_str(), static_cast<int>(values.size()), nullptr,
                       values.data(), nullptr, nullptr, 0);
  }
  PqResult result(raw);
  const ExecStatusType status = PQresultStatus(raw);
  if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
    return result;
  if (raw == nullptr || Lost())
    return ConnectionError();
  return StatementError(raw);
}

Status PqConnection::Run(std::string_view sql, const PqParams& params) {
  Result<PqResult> result = Exec(sql, params);
  if (!result)
    return result.error();
  return Done{};
}

LedgerError PqConnection::ConnectionError() const {
  return LedgerError{LedgerFault::Unavailable,
                     DatabaseErrorText(LedgerFault::Unavailable, m_shownAs,
                                       WithoutConnectionText(PQerrorMessage(m_conn), m_conninfo)),
                     std::nullopt, "08006"};
}

LedgerError PqConnection::StatementError(const PGresult* result) const {
  const char* state = PQresultErrorField(result, PG_DIAG_SQLSTATE);
  const char* primary = PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY);
  const std::string code = state != nullptr ? state : "";
  const std::string detail =
      WithoutConnectionText(primary != nullptr ? primary : PQerrorMessage(m_conn), m_conninfo);
  const LedgerFault fault = FaultOf(code);
  const std::string message = DatabaseErrorText(fault, m_shownAs, detail);
  return LedgerError{fault, message, std::nullopt, code};
}

bool IsRetryable(const LedgerError& error) {
  return error.code == "40P01" || error.code == "40001" || error.code == "23P01";
}

bool IsDuplicateObject(const LedgerError& error) {
  return error.code == "42P06" || error.code == "42P07" || error.code == "42723" ||
         error.code == "42710" || error.code == "23505";
}

}  // namespace quillmark::ledger
