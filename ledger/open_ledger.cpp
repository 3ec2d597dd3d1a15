#include "interface_text.h"
#include "ledger.h"
#include "ledger_system.h"
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
  if (Status prepared = PrepareLedgerFile(location.target); !prepared)
    return prepared.error();
  return SqliteLedger::Init(location.target, targetVersion);
}

Status BackupLedger(const LedgerLocation& location, const std::string& copyPath) {
  if (location.kind == LedgerKind::PostgreSQL)
    return PostgresBackupError();
  return BackupSqliteLedger(location.target, copyPath);
}

}  // namespace quillmark::ledger
