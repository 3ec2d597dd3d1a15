#pragma once

#include <libpq-fe.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ledger_result.h"

namespace quillmark::ledger {

// The rows a statement returned, cleared when it goes.
class PqResult {
 public:
  explicit PqResult(PGresult* result) : m_result(result) {}
  ~PqResult();
  PqResult(PqResult&& other) noexcept;
  PqResult& operator=(PqResult&&) = delete;
  PqResult(const PqResult&) = delete;

  int Rows() const { return PQntuples(m_result); }
  bool IsNull(int row, int column) const { return PQgetisnull(m_result, row, column) != 0; }
  std::string Text(int row, int column) const;  // NULL reads as empty
  std::int64_t Int64(int row, int column) const;
  bool Bool(int row, int column) const { return Text(row, column) == "t"; }
  // Rows an INSERT, UPDATE or DELETE touched.
  std::int64_t Affected() const;

 private:
  PGresult* m_result = nullptr;
};

// Parameters in text form; none stands for NULL.
using PqParams = std::vector<std::optional<std::string>>;

// One connection, finished when it goes.
class PqConnection {
 public:
  // shownAs names the database in messages (never with a password).
  static Result<PqConnection> Connect(const std::string& conninfo, std::string shownAs);
  ~PqConnection();
  PqConnection(PqConnection&& other) noexcept;
  PqConnection& operator=(PqConnection&&) = delete;
  PqConnection(const PqConnection&) = delete;

  // One statement with parameters, or, without, several separated by ";".
  Result<PqResult> Exec(std::string_view sql, const PqParams& params = {});
  Status Run(std::string_view sql, const PqParams& params = {});
  // The connection was lost; Reconnect tries once to get it back.
  bool Lost() const { return PQstatus(m_conn) != CONNECTION_OK; }
  Status Reconnect();

 private:
  PqConnection(PGconn* conn, std::string shownAs, std::string conninfo)
      : m_conn(conn), m_shownAs(std::move(shownAs)), m_conninfo(std::move(conninfo)) {}
  Status PrepareSession();
  LedgerError ConnectionError() const;
  LedgerError StatementError(const PGresult* result) const;

  PGconn* m_conn = nullptr;
  std::string m_shownAs;
  // Kept only to take its text out of libpq's messages.
  std::string m_conninfo;
};

// libpq's message with every quoted text that comes from the connection
// string shown as "…": a misread string (a "%" or "/" in a password) puts
// pieces of the password into what libpq quotes.
std::string WithoutConnectionText(std::string_view message, std::string_view conninfo);

// SQLSTATEs after which a transaction is simply run again: a deadlock, a
// serialization failure, an exclusion constraint that another writer met.
bool IsRetryable(const LedgerError& error);
// SQLSTATEs of an object made twice: a schema, table, function or key.
bool IsDuplicateObject(const LedgerError& error);

}  // namespace quillmark::ledger
