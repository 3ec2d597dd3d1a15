#include "file_replacement.h"

namespace quillmark {

std::string TemporaryPathFor(const std::string& directory, const std::string& fileName) {
  return directory + kPathSeparator + '.' + fileName + ".part";
}

StagedFile FinishStaging(PlatformFiles& files, FileHandle file, const std::string& tempPath,
                         bool written, bool durable) {
  const bool flushed = !durable || (written && files.FlushToDisk(file));
  const bool closed = files.Close(file);
  if (written && flushed && closed)
    return StagedFile::Complete;
  files.Remove(tempPath);
  return StagedFile::WriteFailed;
}

ReplaceOutcome CommitStagedFile(PlatformFiles& files, StagedFile staged, const std::string& path,
                                const std::string& tempPath) {
  switch (staged) {
    case StagedFile::CreateFailed:
      return ReplaceOutcome::CreateFailed;
    case StagedFile::WriteFailed:
      files.Remove(path);
      return ReplaceOutcome::WriteFailed;
    case StagedFile::Complete:
      break;
  }
  if (!files.Rename(tempPath, path)) {
    files.Remove(tempPath);
    return ReplaceOutcome::CreateFailed;
  }
  return ReplaceOutcome::Replaced;
}

void DropStagedFile(PlatformFiles& files, StagedFile staged, const std::string& tempPath) {
  if (staged == StagedFile::Complete)
    files.Remove(tempPath);
}

ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable) {
  const StagedFile staged = StageFile(
      files, tempPath, [&](FileHandle file) { return files.WriteAll(file, data, size) == size; },
      durable);
  return CommitStagedFile(files, staged, path, tempPath);
}

}  // namespace quillmark
