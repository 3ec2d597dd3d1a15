#pragma once

#include <cstdint>
#include <string>

#include "platform_file.h"

namespace quillmark {

enum class ReplaceOutcome {
  Replaced,      // every byte is in place under the final name
  CreateFailed,  // the file could not be created or renamed into place
  WriteFailed,   // short write, failed flush or close
};

// A file written under its hidden name and not yet renamed into place.
enum class StagedFile {
  Complete,      // closed, every byte there (on the disk too, when durable)
  CreateFailed,  // nothing could be created under the hidden name
  WriteFailed,   // its bytes did not all arrive; the hidden name was removed again
};

// The hidden name a file is written under until all of it is there.
std::string TemporaryNameFor(const std::string& fileName);
std::string TemporaryPathFor(const std::string& directory, const std::string& fileName);

// Writes a file under tempName in folder: creates it exclusively (removing
// a stale one first if needed, so nothing planted under it is written
// through), lets fill put the bytes in (fill(file) is true when all of
// them are there) and closes it. The final name is not touched, so a file
// may be staged ahead of its turn.
template <class Fill>
StagedFile StageFile(PlatformFiles& files, FolderHandle folder, const std::string& tempName,
                     Fill&& fill, bool durable);

// Puts a staged file in place under name by renaming it, so a reader (or
// a crash) never finds a partial file under the name. Whatever fails
// takes the older file under the name with it: it is not this lot's, and
// would otherwise pass for it.
ReplaceOutcome CommitStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName);
// A file that may not be put in place after all: its staged file goes, and
// the older file under its name with it. Always a creation failure.
ReplaceOutcome RefuseStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                                const std::string& name, const std::string& tempName);
// Removes a staged file whose turn did not come.
void DropStagedFile(PlatformFiles& files, FolderHandle folder, StagedFile staged,
                    const std::string& tempName);

// Stages a file written from data in one request and commits it, both in
// path's folder (tempPath must be in it too). With durable, the data
// reaches the disk before the rename.
ReplaceOutcome ReplaceFileWith(PlatformFiles& files, const std::string& path,
                               const std::string& tempPath, const std::uint8_t* data,
                               std::uint64_t size, bool durable);

// After fill: flush and close, or remove what must not remain.
StagedFile FinishStaging(PlatformFiles& files, FolderHandle folder, FileHandle file,
                         const std::string& tempName, bool written, bool durable);

template <class Fill>
StagedFile StageFile(PlatformFiles& files, FolderHandle folder, const std::string& tempName,
                     Fill&& fill, bool durable) {
  FileHandle file = files.CreateExclusiveIn(folder, tempName);
  if (file == kNoFile) {
    // Most likely a stale temporary file from an interrupted run (no other
    // run works in a folder this one holds), or something planted under
    // the name: it goes, and the exclusive create is tried once more.
    // Trying first spares a removal per file.
    files.RemoveIn(folder, tempName);
    file = files.CreateExclusiveIn(folder, tempName);
  }
  if (file == kNoFile)
    return StagedFile::CreateFailed;
  const bool written = fill(file);
  return FinishStaging(files, folder, file, tempName, written, durable);
}

}  // namespace quillmark
