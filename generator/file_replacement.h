#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

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

// After fill: flush and close, or remove what must not remain.
StagedFile FinishStaging(PlatformFiles& files, FolderHandle folder, FileHandle file,
                         const std::string& tempName, bool written, bool durable);

// How a command's own output (a report, a backup, a manifest, a label
// file) ended.
enum class OutputWrite {
  Written,           // in place under its name, whole
  NotCreated,        // no file could be made in its folder (or the folder not opened)
  NotWritten,        // its bytes did not all arrive, or the flush or the close failed
  Displaced,         // its temporary name no longer led to the file written: another
                     // process moved something else there, which is not put in place
  NotPlaced,         // the rename onto its name failed
  FolderNotFlushed,  // in place, but (durable) the folder's entry may not be on the disk
};

// One output of a command, written under a temporary name in its folder
// and renamed onto its name once whole. The folder may be one that others
// can write in too (a station's shared folder), so:
//  - the temporary file is created new, never through a link, and nothing
//    found under a temporary name is removed (it may be another's): a name
//    that is taken gives way to the next (.NAME.part, .NAME.1.part, …);
//  - every byte goes through the handle created, never through a name;
//  - before the rename, the temporary name must still lead to that very
//    file (device and file number), or nothing is put in place;
//  - a file already under the name stays as it was unless the new one
//    takes its place.
class StagedOutput {
 public:
  StagedOutput(PlatformFiles& files, const std::string& path);
  // What was never committed goes: the temporary file, while its name
  // still leads to it.
  ~StagedOutput();
  StagedOutput(const StagedOutput&) = delete;
  StagedOutput& operator=(const StagedOutput&) = delete;

  bool Created() const { return m_file != kNoFile; }
  // Open for reading and writing until Commit or Discard.
  FileHandle File() const { return m_file; }
  const std::string& TemporaryName() const { return m_tempName; }

  // written: whether every byte went in. Flushes the file (durable) and
  // closes it, checks its temporary name still leads to it, renames it
  // onto the name and (durable) flushes the folder. NotCreated when
  // nothing was created. A file that is not put in place goes, unless its
  // name no longer leads to it.
  OutputWrite Commit(bool written, bool durable);
  // Closes and removes the temporary file; false when the close reported
  // an error or the file could not be removed.
  bool Discard();

 private:
  bool StillOurs(const std::string& name);
  bool CloseFile();

  PlatformFiles& m_files;
  FolderHandle m_folder = kNoFolder;
  std::string m_name;
  std::string m_tempName;
  FileHandle m_file = kNoFile;
  std::optional<FileIdentity> m_identity;  // empty where the platform cannot say
};

// A StagedOutput of bytes in memory.
OutputWrite WriteOutputFile(PlatformFiles& files, const std::string& path, std::string_view data,
                            bool durable);

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
