#include "file_replacement.h"

namespace quillmark {

std::string TemporaryPathFor(const std::string& directory, const std::string& fileName) {
  return directory + kPathSeparator + '.' + fileName + ".part";
}

ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable) {
  // A stale temporary file from an interrupted run is removed first; the
  // exclusive create then refuses anything planted under the name.
  files.Remove(tempPath);
  const FileHandle file = files.CreateExclusive(tempPath);
  if (file == kNoFile)
    return ReplaceOutcome::CreateFailed;

  const bool written = files.WriteOnce(file, data, size) == size;
  const bool flushed = !durable || (written && files.FlushToDisk(file));
  const bool closed = files.Close(file);
  if (!written || !flushed || !closed) {
    files.Remove(tempPath);
    // An older image under the device's name would now be stale.
    files.Remove(path);
    return ReplaceOutcome::WriteFailed;
  }
  if (!files.Rename(tempPath, path)) {
    files.Remove(tempPath);
    return ReplaceOutcome::CreateFailed;
  }
  return ReplaceOutcome::Replaced;
}

}  // namespace quillmark
