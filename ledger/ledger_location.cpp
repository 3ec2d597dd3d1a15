#include "ledger_location.h"

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <vector>

#include "interface_text.h"
#include "ledger_system.h"

namespace quillmark::ledger {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

// "service=NAME", "host=… dbname=…": a keyword, then "=".
bool LooksLikeKeywordValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  const std::size_t start = i;
  while (i < text.size() && (std::isalpha(static_cast<unsigned char>(text[i])) || text[i] == '_'))
    ++i;
  if (i == start)
    return false;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])))
    ++i;
  return i < text.size() && text[i] == '=';
}

}  // namespace

Result<LedgerLocation> ParseLedgerLocation(std::string_view text) {
  if (text.empty())
    return Fault(LedgerFault::InvalidRequest,
                 std::string(Pick({"账本位置为空！", "The ledger location is empty."})));
  if (std::optional<Result<std::string>> path = BuiltInLedgerPath(text)) {
    if (!*path)
      return path->error();
    return LedgerLocation{LedgerKind::SQLite, path->value()};
  }
  if (StartsWith(text, "postgresql://") || StartsWith(text, "postgres://") ||
      LooksLikeKeywordValue(text)) {
    if (const std::string refusal = PostgresRefusal(); !refusal.empty())
      return Fault(LedgerFault::Unavailable, refusal);
    return LedgerLocation{LedgerKind::PostgreSQL, std::string(text)};
  }
  return LedgerLocation{LedgerKind::SQLite, std::string(text)};
}

bool UriPasswordMisread(std::string_view conninfo) {
  for (const std::string_view scheme : {"postgresql://", "postgres://"}) {
    if (!StartsWith(conninfo, scheme))
      continue;
    const std::string_view rest = conninfo.substr(scheme.size());
    const std::size_t authorityEnd = rest.find_first_of("/?");
    const std::size_t at = rest.rfind('@');
    return at != std::string_view::npos && authorityEnd != std::string_view::npos &&
           at > authorityEnd;
  }
  return false;
}

std::vector<std::string> LedgerFiles(const LedgerLocation& location) {
  std::vector<std::string> files;
  if (location.kind != LedgerKind::SQLite)
    return files;
  // SQLite names the log and the journal after the file a link leads to.
  std::vector<std::string> bases{location.target};
  std::error_code error;
  const std::filesystem::path real = std::filesystem::canonical(location.target, error);
  if (!error && real.string() != location.target)
    bases.push_back(real.string());
  for (const std::string& base : bases) {
    for (const char* suffix : {"", "-wal", "-shm", "-journal"})
      files.push_back(base + suffix);
  }
  return files;
}

std::string LedgerLocation::Display() const {
  return kind == LedgerKind::SQLite ? target : ConnectionTextWithoutPassword(target);
}

}  // namespace quillmark::ledger
