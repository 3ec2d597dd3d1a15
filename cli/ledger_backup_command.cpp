#include "ledger_backup_command.h"

#include <cstdio>

#include "exit_codes.h"
#include "file_replacement.h"
#include "interface_text.h"
#include "ledger.h"
#include "ledger_texts.h"
#include "output_path_guard.h"
#include "platform_file.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

using namespace ledger;

int Refuse(const std::string& message) {
  std::fprintf(stderr, "%s\n", ToValidUtf8(message).c_str());
  return kExitRejected;
}

// Why the staged copy could not be put in place, after SQLite wrote it.
std::string NotPlacedReason(OutputWrite written, const StagedOutput& output) {
  switch (written) {
    case OutputWrite::Displaced:
      return Fill({"其临时文件 %1 在写入期间被换成了别的文件",
                   "its temporary file %1 was replaced by another file meanwhile"},
                  {output.TemporaryName()});
    case OutputWrite::NotPlaced:
      return std::string(Pick({"无法改名为此名称", "it could not be renamed to this name"}));
    case OutputWrite::FolderNotFlushed:
      return std::string(
          Pick({"所在目录无法同步到磁盘", "its folder could not be synchronised to the disk"}));
    default:
      return std::string(Pick({"无法写完或同步到磁盘", "it could not be written out to the disk"}));
  }
}

}  // namespace

int RunLedgerBackup(const LedgerLocation& location, const std::string& path) {
  if (location.kind == LedgerKind::PostgreSQL)
    return Refuse(PostgresBackupError().message);
  SystemFiles files;
  OutputPathGuard guard{std::string(Pick({"备份文件", "backup file"})), {}, std::nullopt};
  // The ledger's own files by what they are, and their names whether or
  // not they are there now.
  for (const std::string& file : LedgerFiles(location)) {
    guard.inputs.push_back({file, std::string(Pick({"账本", "ledger"}))});
    guard.names.push_back(guard.inputs.back());
  }
  if (const std::string refusal = CheckOutputPath(path, guard, files); !refusal.empty())
    return Refuse(refusal);

  // The copy is made under a temporary name of its own in the target's
  // folder, through the descriptor created, and renamed onto FILE once
  // SQLite has closed it: FILE is never a partial ledger, and a failed
  // backup leaves an older one there as it was.
  StagedOutput output(files, path);
  if (!output.Created())
    return Refuse(BackupNotWrittenText(
        path, std::string(Pick({"无法在所在目录中创建文件（目录不存在、无写权限或只读）",
                                "no file can be made in its folder (it does not exist, is not "
                                "writable or is read-only)"}))));
  const Status copied = BackupLedger(location, output.File(), path);
  if (!copied)
    return Refuse(copied.error().message);
  const OutputWrite written = output.Commit(true, /*durable=*/true);
  if (written != OutputWrite::Written)
    return Refuse(BackupNotWrittenText(path, NotPlacedReason(written, output)));
  const std::string done =
      Fill({"账本已备份：%1 → %2\n", "Ledger backed up: %1 → %2\n"}, {location.Display(), path});
  return std::fputs(ToValidUtf8(done).c_str(), stdout) < 0 ? kExitRunFailed : kExitSuccess;
}

}  // namespace quillmark::cli
