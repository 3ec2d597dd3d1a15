#include "file_replacement.h"

#include "path_parts.h"

namespace quillmark {

std::string TemporaryNameFor(const std::string& fileName) {
  return '.' + fileName + ".part";
}

std::string TemporaryPathFor(const std::string& directory, const std::string& fileName) {
  return JoinPath(directory, TemporaryNameFor(fileName));
}

StagedFile FinishStaging(PlatformFiles& files, FolderHandle folder, FileHandle file,
                         const std::string& tempName, bool written, bool durable) {
  const bool flushed = !durable || (written && files.FlushToDisk(file));
  const bool closed = files.Close(file);
  if (written && flushed && closed)
    return StagedFile::Complete;
  files.RemoveIn(folder, tempName);
  return StagedFile::WriteFailed;
}

ReplaceOutcome CommitStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName) {
  switch (staged) {
    case StagedFile::CreateFailed:
      return RefuseStagedFile(files, folder, staged, name, tempName);
    case StagedFile::WriteFailed:
      files.RemoveIn(folder, name);
      return ReplaceOutcome::WriteFailed;
    case StagedFile::Complete:
      break;
  }
  if (!files.RenameIn(folder, tempName, name))
    return RefuseStagedFile(files, folder, staged, name, tempName);
  return ReplaceOutcome::Replaced;
}

ReplaceOutcome RefuseStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName) {
  DropStagedFile(files, folder, staged, tempName);
  // Removes a file only: a folder standing under the name stays.
  files.RemoveIn(folder, name);
  return ReplaceOutcome::CreateFailed;
}

void DropStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                    const std::string& tempName) {
  if (staged == StagedFile::Complete)
    files.RemoveIn(folder, tempName);
}

ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable) {
  const auto [directory, name] = SplitPath(path);
  const FolderHandle folder = files.OpenFolder(directory);
  if (folder == kNoFolder)
    return ReplaceOutcome::CreateFailed;
  const std::string tempName = SplitPath(tempPath).name;
  const StagedFile staged = StageFile(
      files, folder, tempName,
      [&](FileHandle file) { return files.WriteAll(file, data, size) == size; }, durable);
  const ReplaceOutcome outcome = CommitStagedFile(files, folder, staged, name, tempName);
  files.CloseFolder(folder);
  return outcome;
}

}  // namespace quillmark
