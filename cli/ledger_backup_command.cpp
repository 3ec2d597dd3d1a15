#include "ledger_backup_command.h"

#include <cstdio>

#include "exit_codes.h"
#include "file_replacement.h"
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

}  // namespace

int RunLedgerBackup(const LedgerLocation& location, const std::string& path) {
  if (location.kind == LedgerKind::PostgreSQL)
    return Refuse(PostgresBackupError().message);
  SystemFiles files;
  OutputPathGuard guard{"备份文件", {}, std::nullopt};
  for (const std::string& file : LedgerFiles(location))
    guard.inputs.push_back({file, "账本"});
  if (const std::string refusal = CheckOutputPath(path, guard, files); !refusal.empty())
    return Refuse(refusal);

  const PathParts parts = SplitPath(path);
  const FolderHandle folder = files.OpenFolder(parts.folder);
  if (folder == kNoFolder)
    return Refuse("备份文件无法写入！" + path);
  bool placed = false;
  const Status copied = CopyInto(location, files, folder, parts, placed);
  files.CloseFolder(folder);
  if (!copied)
    return Refuse(copied.error().message);
  if (!placed)
    return Refuse("备份文件无法写入！" + path);
  const std::string done = "账本已备份：" + location.Display() + " → " + path + "\n";
  return std::fputs(ToValidUtf8(done).c_str(), stdout) < 0 ? kExitRunFailed : kExitSuccess;
}

}  // namespace quillmark::cli
