#include "ledger_backup_command.h"

#include <cstdio>

#include "exit_codes.h"
#include "file_replacement.h"
#include "interface_text.h"
#include "ledger.h"
#include "ledger_texts.h"
#include "output_path_guard.h"
#include "path_parts.h"
#include "platform_file.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

using namespace ledger;

int Refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", ToValidUtf8(message).c_str());
  return kExitRejected;
}

// The copy is made under its temporary name in the target's folder and
// renamed onto FILE once SQLite has closed it: FILE is never a partial
// ledger, and a failed backup leaves an older one there as it was.
Status CopyInto(const LedgerLocation& location, PlatformFiles& files, FolderHandle folder,
                const PathParts& parts, bool& placed) {
  const std::string tempName = TemporaryNameFor(parts.name);
  // A stale one from an interrupted backup, or anything planted there.
  files.RemoveIn(folder, tempName);
  const FileHandle file = files.CreateExclusiveIn(folder, tempName);
  if (file == kNoFile)
    return Done{};
  if (!files.Close(file)) {
    files.RemoveIn(folder, tempName);
    return Done{};
  }
  Status copied = BackupLedger(location, JoinPath(parts.folder, tempName));
  placed = copied && files.RenameIn(folder, tempName, parts.name) && files.FlushFolder(folder);
  if (!placed) {
    files.RemoveIn(folder, tempName);
    files.RemoveIn(folder, tempName + "-journal");
  }
  return copied;
}

std::string BackupNotWritten(const std::string& path) {
  return Fill({"备份文件无法写入！%1", "Cannot write the backup: %1"}, {path});
}

}  // namespace

int RunLedgerBackup(const LedgerLocation& location, const std::string& path) {
  if (location.kind == LedgerKind::PostgreSQL)
    return Refuse(PostgresBackupError().message);
  SystemFiles files;
  OutputPathGuard guard{std::string(Pick({"备份文件", "backup file"})), {}, std::nullopt};
  for (const std::string& file : LedgerFiles(location))
    guard.inputs.push_back({file, std::string(Pick({"账本", "ledger"}))});
  if (const std::string refusal = CheckOutputPath(path, guard, files); !refusal.empty())
    return Refuse(refusal);

  const PathParts parts = SplitPath(path);
  const FolderHandle folder = files.OpenFolder(parts.folder);
  if (folder == kNoFolder)
    return Refuse(BackupNotWritten(path));
  bool placed = false;
  const Status copied = CopyInto(location, files, folder, parts, placed);
  files.CloseFolder(folder);
  if (!copied)
    return Refuse(copied.error().message);
  if (!placed)
    return Refuse(BackupNotWritten(path));
  const std::string done =
      Fill({"账本已备份：%1 → %2\n", "Ledger backed up: %1 → %2\n"}, {location.Display(), path});
  return std::fputs(ToValidUtf8(done).c_str(), stdout) < 0 ? kExitRunFailed : kExitSuccess;
}

}  // namespace quillmark::cli
