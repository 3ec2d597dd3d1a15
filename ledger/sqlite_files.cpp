#include "sqlite_files.h"

#include "ledger_system.h"
#include "ledger_texts.h"
#include "sqlite_handle.h"
#include "sqlite_ledger.h"

namespace quillmark::ledger {

Status BackupSqliteLedger(const std::string& path, FileHandle copyFile,
                          const std::string& shownAs) {
  Result<SqliteDatabase> db = SqliteDatabase::Open(path, false);
  if (!db)
    return db.error();
  // Any schema version is copied as it stands; only something that is
  // not a ledger is refused.
  Result<int> version = SqliteSchemaVersion(db.value());
  if (!version)
    return version.error();
  if (version.value() == 0)
    return NotInitializedError(path);
  if (Status given = GiveLedgerPermissions(path, copyFile, shownAs); !given)
    return given;
  return db->BackupInto(copyFile, shownAs);
}

}  // namespace quillmark::ledger
