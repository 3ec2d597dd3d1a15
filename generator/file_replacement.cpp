#include "file_replacement.h"

namespace quillmark {

std::string TemporaryPathFor(const std::string& directory, const std::string& fileName) {
  return directory + kPathSeparator + '.' + fileName + ".part";
}

ReplaceOutcome FinishReplacement(PlatformFiles& files, FileHandle file, const std::string& path,
                                 const std::string& tempPath, bool written, bool durable) {
  const bool flushed = !durable || (written && files.FlushToDisk(file));
  const bool closed = files.Close(file);
  if (!written || !flushed || !closed) {
    files.Remove(tempPath);
    // An older file under the final name would now be stale.
    files.Remove(path);
    return ReplaceOutcome::WriteFailed;
  }
  if (!files.Rename(tempPath, path)) {
    files.Remove(tempPath);
    return ReplaceOutcome::CreateFailed;
  }
  return ReplaceOutcome::Replaced;
}

ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable) {
  return ReplaceFileBy(
      files, path, tempPath,
      [&](FileHandle file) { return files.WriteOnce(file, data, size) == size; }, durable);
}

}  // namespace quillmark
