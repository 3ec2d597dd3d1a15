#include "interface_text.h"
#include "ledger.h"
#include "ledger_system.h"
#include "ledger_texts.h"
#include "postgres_module.h"
#include "sqlite_access.h"
#include "sqlite_files.h"
#include "sqlite_ledger.h"

namespace quillmark::ledger {

Result<std::unique_ptr<Ledger>> OpenLedger(const LedgerLocation& location, LedgerAccess access) {
  if (location.kind == LedgerKind::PostgreSQL)
    return OpenPostgresLedger(location);
  return SqliteLedger::Open(location.target, access == LedgerAccess::ReadOnly);
}

Result<InitReport> InitSharedLedger(const LedgerLocation& location, const std::string& group) {
  if (location.kind == LedgerKind::PostgreSQL)
    return Fault(LedgerFault::InvalidRequest,
                 std::string(Pick({"--group 只用于SQLite账本；PostgreSQL账本的权限由其角色决定",
                                   "--group is for an SQLite ledger; a PostgreSQL ledger's access "
                                   "is its roles'"})));
  if (Status prepared = PrepareSharedLedgerFiles(location.target, group); !prepared)
    return prepared.error();
  return InitLedger(location);
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

Status BackupLedger(const LedgerLocation& location, FileHandle copyFile,
                    const std::string& shownAs) {
  if (location.kind == LedgerKind::PostgreSQL)
    return PostgresBackupError();
  return BackupSqliteLedger(location.target, copyFile, shownAs);
}

}  // namespace quillmark::ledger
