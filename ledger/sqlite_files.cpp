#include "sqlite_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include <filesystem>
#include <vector>

#include "ledger_texts.h"
#include "sqlite_handle.h"
#include "sqlite_ledger.h"

namespace quillmark::ledger {

void CreatePrivateLedgerFile(const std::string& path) {
  std::vector<std::filesystem::path> missing;
  struct stat status {};
  for (std::filesystem::path folder = std::filesystem::path(path).parent_path();
       !folder.empty() && folder != folder.root_path(); folder = folder.parent_path()) {
    if (::lstat(folder.c_str(), &status) == 0)
      break;
    missing.push_back(folder);
  }
  for (auto folder = missing.rbegin(); folder != missing.rend(); ++folder) {
    if (::mkdir(folder->c_str(), 0700) != 0)
      return;
    // The umask may have taken the owner's bits too.
    ::chmod(folder->c_str(), 0700);
  }
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (file < 0)
    return;
  ::fchmod(file, 0600);
  ::close(file);
}

Status BackupSqliteLedger(const std::string& path, int copyFile, const std::string& shownAs) {
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
  // The copy's bits are set on its descriptor, before any of the ledger
  // is in it: a name could lead elsewhere by now.
  struct stat ledger {};
  if (::stat(path.c_str(), &ledger) != 0 || ::fchmod(copyFile, ledger.st_mode & 0777) != 0)
    return LedgerError{LedgerFault::Unavailable,
                       BackupNotWrittenText(shownAs, FileErrorText(errno)),
                       std::nullopt,
                       {}};
  return db->BackupInto(copyFile, shownAs);
}

}  // namespace quillmark::ledger
