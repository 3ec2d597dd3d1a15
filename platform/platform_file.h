#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quillmark {

// An open file of the platform; kNoFile when an open or create failed.
using FileHandle = std::intptr_t;
inline constexpr FileHandle kNoFile = -1;

// A folder held open for a run; kNoFolder when it could not be opened. On
// Linux it is a directory descriptor. A platform that cannot work relative
// to an open folder may make it stand for its own record of the folder's
// path and identity instead, and check that identity before each
// operation on it.
using FolderHandle = std::intptr_t;
inline constexpr FolderHandle kNoFolder = -1;

// How a request for a folder's exclusive lock ended.
enum class FolderLock {
  Locked,       // the handle holds it until it is closed or its process ends
  Busy,         // another holder has it
  Unsupported,  // the platform or the file system keeps no such lock here
};

// The separator that joins a directory and a file name.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for a character that separates a path's parts: the separator, and
// on Windows the slash too, which the system takes alike.
inline constexpr bool IsPathSeparator(char c) {
  return c == kPathSeparator || (kPathSeparator == '\\' && c == '/');
}

// What stands under a name, the name itself looked at (a link is a link).
enum class PathKind {
  None,  // nothing
  RegularFile,
  Directory,
  Link,
  Other,    // a FIFO, a socket, a device
  Unknown,  // the platform could not say (no permission, an I/O error)
};

// Which file or directory a path leads to: two paths lead to the same one
// exactly when their identities are equal.
struct FileIdentity {
  std::uint64_t device = 0;
  std::uint64_t number = 0;
  bool operator==(const FileIdentity&) const = default;
};

// What a reader compares before and after reading a file, to know it
// read one file, whole and unchanged: which file, its size, and when its
// data last changed.
struct FileState {
  FileIdentity identity;
  std::uint64_t size = 0;
  std::int64_t modifiedSeconds = 0;
  std::int64_t modifiedNanoseconds = 0;
  bool operator==(const FileState&) const = default;
};

// How a request to share one file's data with another ended.
enum class CloneResult {
  Cloned,   // the target now holds the source's bytes
  Refused,  // the file system cannot do it at all; it will not start to
  Failed,   // it can, but this one did not work (no space, an I/O error)
};

// The few file operations the core needs. SystemFiles is the platform's
// (one source file per platform); tests put their own in its place to make
// faults the machine cannot make on demand. The batch writer calls it from
// several threads at once, each on files of its own.
class PlatformFiles {
 public:
  virtual ~PlatformFiles() = default;

  // Opens an existing regular file for reading; anything else (a
  // directory, a FIFO, a device) fails at once without blocking.
  virtual FileHandle OpenForReading(const std::string& path) = 0;
  virtual std::optional<std::uint64_t> SizeOf(FileHandle file) = 0;
  // Reads until size bytes arrived, the file ended or a read failed;
  // returns how many arrived.
  virtual std::uint64_t ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) = 0;

  // Creates a new file for writing; fails if anything, a link included,
  // already stands under the name.
  virtual FileHandle CreateExclusive(const std::string& path) = 0;
  // Writes until size bytes are written or a write failed; returns how
  // many were written.
  virtual std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) = 0;
  // Forces the file's data to the disk.
  virtual bool FlushToDisk(FileHandle file) = 0;
  // False when the platform reports an error on close (data may be lost).
  virtual bool Close(FileHandle file) = 0;
  // True when nothing stands under the name afterwards.
  virtual bool Remove(const std::string& path) = 0;

  // A run's files are created, renamed and removed by their names in a
  // folder held open, never by a path, so a folder moved or swapped
  // meanwhile takes nothing of the run elsewhere.
  //
  // Opens a folder; links on the way are followed, as a path would.
  virtual FolderHandle OpenFolder(const std::string& path) = 0;
  // Closes it; a lock it held is released.
  virtual void CloseFolder(FolderHandle folder) = 0;
  // Takes the folder's exclusive lock without waiting. It keeps out every
  // other holder, in this process or another, and the system releases it
  // when its process ends, however that ends.
  virtual FolderLock LockFolder(FolderHandle folder) = 0;
  // True while path names the very folder the handle holds.
  virtual bool FolderStillAt(FolderHandle folder, const std::string& path) = 0;
  // CreateExclusive for a name in the folder; the file is open for reading
  // as well as writing (SQLite reads back what it wrote).
  virtual FileHandle CreateExclusiveIn(FolderHandle folder, const std::string& name) = 0;
  // Replaces whatever stands under to (a link itself, never its target).
  virtual bool RenameIn(FolderHandle folder, const std::string& from, const std::string& to) = 0;
  // True when nothing stands under the name afterwards.
  virtual bool RemoveIn(FolderHandle folder, const std::string& name) = 0;
  // Forces the folder's entries (new names, renames) to the disk.
  virtual bool FlushFolder(FolderHandle folder) = 0;

  // Cloning, where the file system can share data between files. The
  // defaults say it cannot, so a platform without it needs nothing more.
  //
  // A new file without a name in the folder, for reading and writing; it
  // is gone once closed.
  virtual FileHandle CreateUnnamedIn(FolderHandle folder);
  // Makes target, a new empty file, hold all of source's bytes.
  virtual CloneResult CloneFile(FileHandle target, FileHandle source);
  // Writes size bytes at offset; returns how many were written.
  virtual std::uint64_t WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                                std::uint64_t size);
  // Asks the file system to set aside no more than one block for a later
  // copy when a block this file shares is written: XFS sets aside 32 by
  // default, and holds them long after the write. A clone of the whole
  // file carries the setting. Returns the bytes each block written into
  // shared data then takes; empty where the file system has no such
  // setting or refuses it.
  virtual std::optional<std::uint64_t> NarrowSharedWrites(FileHandle file);

  // Keeping a long batch's memory use steady. The defaults do nothing,
  // leaving it all to the platform's cache.
  //
  // A second handle to the same open file, closed on its own.
  virtual FileHandle Duplicate(FileHandle file);
  // Starts writing the file's data to the disk without waiting for it.
  virtual void StartWriteback(FileHandle file);
  // Waits until the file's data is on the disk, then lets the platform
  // drop it from its cache.
  virtual void ReleaseWhenWritten(FileHandle file);

  virtual bool IsDirectory(const std::string& path) = 0;
  // Creates one directory (not its parents) with default permissions.
  virtual bool MakeDirectory(const std::string& path) = 0;
  // Removes a directory only when it is empty; false when anything is in
  // it or it could not be removed.
  virtual bool RemoveEmptyDirectory(const std::string& path);
  virtual bool FlushDirectory(const std::string& path) = 0;
  // A relative path joined to the current directory; absolute ones as given.
  virtual std::string AbsolutePath(const std::string& path) = 0;
  // Bytes an unprivileged writer may still use on the directory's volume;
  // empty where the volume gives no figures.
  virtual std::optional<std::uint64_t> AvailableBytes(const std::string& directory) = 0;
  // Bytes that replacing an existing regular file would give back: its
  // allocated blocks (a sparse file frees little), none while another link
  // keeps it; empty when no regular file stands there.
  virtual std::optional<std::uint64_t> ExistingFileSize(const std::string& path) = 0;

  // Memory for a whole image; null when it cannot be had.
  virtual std::unique_ptr<std::uint8_t[]> AllocateImage(std::size_t size);

  // Reading a batch back. The defaults do what the operations above allow:
  // no link is recognised, no folder is listed, nothing is read out of
  // order, and the cache cannot be bypassed.
  //
  // Never follows a link.
  virtual PathKind KindOf(const std::string& path);
  // Follows links; empty when nothing is there or the platform cannot say.
  virtual std::optional<FileIdentity> IdentityOf(const std::string& path);
  // The names in a directory, without "." and ".."; empty when it cannot
  // be listed.
  virtual std::optional<std::vector<std::string>> ListDirectory(const std::string& path);
  // Reads size bytes at offset; returns how many arrived.
  virtual std::uint64_t ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* buffer,
                               std::uint64_t size);
  // Writes the file's changed data to the disk, then drops its pages from
  // the platform's cache, so the next read comes from the disk. False when
  // that cannot be promised.
  virtual bool DropCachedPages(FileHandle file);
  // The state of an open file; empty where the platform cannot say.
  virtual std::optional<FileState> StateOf(FileHandle file);
  // The state of what stands under a path, a link itself never followed;
  // empty when nothing stands there or the platform cannot say.
  virtual std::optional<FileState> StateAt(const std::string& path);
  // StateAt for a name in a folder held open.
  virtual std::optional<FileState> StateIn(FolderHandle folder, const std::string& name);
};

class SystemFiles : public PlatformFiles {
 public:
  FileHandle OpenForReading(const std::string& path) override;
  std::optional<std::uint64_t> SizeOf(FileHandle file) override;
  std::uint64_t ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) override;
  FileHandle CreateExclusive(const std::string& path) override;
  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override;
  bool FlushToDisk(FileHandle file) override;
  bool Close(FileHandle file) override;
  bool Remove(const std::string& path) override;
  FolderHandle OpenFolder(const std::string& path) override;
  void CloseFolder(FolderHandle folder) override;
  FolderLock LockFolder(FolderHandle folder) override;
  bool FolderStillAt(FolderHandle folder, const std::string& path) override;
  FileHandle CreateExclusiveIn(FolderHandle folder, const std::string& name) override;
  bool RenameIn(FolderHandle folder, const std::string& from, const std::string& to) override;
  bool RemoveIn(FolderHandle folder, const std::string& name) override;
  bool FlushFolder(FolderHandle folder) override;
  FileHandle CreateUnnamedIn(FolderHandle folder) override;
  CloneResult CloneFile(FileHandle target, FileHandle source) override;
  std::uint64_t WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                        std::uint64_t size) override;
  std::optional<std::uint64_t> NarrowSharedWrites(FileHandle file) override;
  FileHandle Duplicate(FileHandle file) override;
  void StartWriteback(FileHandle file) override;
  void ReleaseWhenWritten(FileHandle file) override;
  bool IsDirectory(const std::string& path) override;
  bool MakeDirectory(const std::string& path) override;
  bool RemoveEmptyDirectory(const std::string& path) override;
  bool FlushDirectory(const std::string& path) override;
  std::string AbsolutePath(const std::string& path) override;
  std::optional<std::uint64_t> AvailableBytes(const std::string& directory) override;
  std::optional<std::uint64_t> ExistingFileSize(const std::string& path) override;
  PathKind KindOf(const std::string& path) override;
  std::optional<FileIdentity> IdentityOf(const std::string& path) override;
  std::optional<std::vector<std::string>> ListDirectory(const std::string& path) override;
  std::uint64_t ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* buffer,
                       std::uint64_t size) override;
  bool DropCachedPages(FileHandle file) override;
  std::optional<FileState> StateOf(FileHandle file) override;
  std::optional<FileState> StateAt(const std::string& path) override;
  std::optional<FileState> StateIn(FolderHandle folder, const std::string& name) override;
};

}  // namespace quillmark
