#pragma once

#include <cstdint>
#include <string>

#include "platform_file.h"

namespace quillmark {

enum class ReplaceOutcome {
  Replaced,      // every byte is in place under the final name
  CreateFailed,  // the file could not be created or renamed into place
  WriteFailed,   // short write, failed flush or close; nothing is left under the final name
};

// The hidden name a file is written under until all of it is there.
std::string TemporaryPathFor(const std::string& directory, const std::string& fileName);

// Puts a file in place under path: creates tempPath exclusively (removing
// a stale one first if needed, so nothing planted under it is written through),
// lets fill put the bytes in (fill(file) is true when all of them are
// there) and renames it onto path only then, so a reader (or a crash)
// never finds a partial file under path. With durable, the data reaches
// the disk before the rename.
template <class Fill>
ReplaceOutcome ReplaceFileBy(PlatformFiles& files, const std::string& path,
                             const std::string& tempPath, Fill&& fill, bool durable);

// The same with the file's bytes written from data in one request.
ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable);

// After fill: flush, close, rename, or remove what must not remain.
ReplaceOutcome FinishReplacement(PlatformFiles& files, FileHandle file, const std::string& path,
                                 const std::string& tempPath, bool written, bool durable);

template <class Fill>
ReplaceOutcome ReplaceFileBy(PlatformFiles& files, const std::string& path,
                             const std::string& tempPath, Fill&& fill, bool durable) {
  FileHandle file = files.CreateExclusive(tempPath);
  if (file == kNoFile) {
    // Most likely a stale temporary file from an interrupted run, or
    // something planted under the name: it goes, and the exclusive create
    // is tried once more. Trying first spares a removal per file.
    files.Remove(tempPath);
    file = files.CreateExclusive(tempPath);
  }
  if (file == kNoFile)
    return ReplaceOutcome::CreateFailed;
  const bool written = fill(file);
  return FinishReplacement(files, file, path, tempPath, written, durable);
}

}  // namespace quillmark
