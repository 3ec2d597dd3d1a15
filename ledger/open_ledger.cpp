#include <unistd.h>

#include <array>

#include "interface_text.h"
#include "ledger.h"
#include "ledger_texts.h"
#include "postgres_module.h"
#include "sqlite_files.h"
#include "sqlite_ledger.h"

namespace quillmark::ledger {

Result<std::unique_ptr<Ledger>> OpenLedger(const LedgerLocation& location) {
  if (location.kind == LedgerKind::PostgreSQL)
    return OpenPostgresLedger(location);
  return SqliteLedger::Open(location.target);
}

Result<InitReport> InitLedger(const LedgerLocation& location, int targetVersion) {
  if (targetVersion < 1 || targetVersion > kLedgerSchemaVersion)
    return Fault(
        LedgerFault::InvalidRequest,
        std::string(Pick({"没有这个账本结构版本！", "There is no such ledger schema version."})));
  if (location.kind == LedgerKind::PostgreSQL)
    return InitPostgresLedger(location, targetVersion);
  // The per-user ledger is for its user alone; a ledger elsewhere is
  // created as the umask and its folder allow, for those who share it.
  if (Result<std::string> own = DefaultLedgerPath(); own && own.value() == location.target)
    CreatePrivateLedgerFile(location.target);
  return SqliteLedger::Init(location.target, targetVersion);
}

Status BackupLedger(const LedgerLocation& location, int copyFile, const std::string& shownAs) {
  if (location.kind == LedgerKind::PostgreSQL)
    return PostgresBackupError();
  return BackupSqliteLedger(location.target, copyFile, shownAs);
}

std::string DefaultStationName() {
  std::array<char, 256> name{};
  if (::gethostname(name.data(), name.size() - 1) != 0 || name[0] == '\0')
    return "localhost";
  return name.data();
}

}  // namespace quillmark::ledger
