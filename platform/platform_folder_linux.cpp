// The file seam's folder operations on Linux: a folder is a directory
// descriptor, every name is looked up relative to it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform_file.h"

namespace quillmark {
namespace {

int Fd(std::intptr_t handle) {
  return static_cast<int>(handle);
}

}  // namespace

FolderHandle SystemFiles::OpenFolder(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  // A folder one may write in but not list still holds the run's files;
  // such a handle names it but can neither be locked nor flushed.
  if (fd < 0 && errno == EACCES)
    fd = ::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC);
  return fd < 0 ? kNoFolder : fd;
}

void SystemFiles::CloseFolder(FolderHandle folder) {
  ::close(Fd(folder));
}

FolderLock SystemFiles::LockFolder(FolderHandle folder) {
  // A lock of the open folder itself: it leaves nothing in the folder, and
  // the kernel drops it with the last descriptor, a killed process too.
  int result = 0;
  do {
    result = ::flock(Fd(folder), LOCK_EX | LOCK_NB);
  } while (result != 0 && errno == EINTR);
  if (result == 0)
    return FolderLock::Locked;
  return errno == EWOULDBLOCK ? FolderLock::Busy : FolderLock::Unsupported;
}

bool SystemFiles::FolderStillAt(FolderHandle folder, const std::string& path) {
  struct stat held {};
  struct stat named {};
  return ::fstat(Fd(folder), &held) == 0 && ::stat(path.c_str(), &named) == 0 &&
         held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

FileHandle SystemFiles::CreateExclusiveIn(FolderHandle folder, const std::string& name) {
  const int fd = ::openat(Fd(folder), name.c_str(),
                          O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  return fd < 0 ? kNoFile : fd;
}

bool SystemFiles::RenameIn(FolderHandle folder, const std::string& from, const std::string& to) {
  return ::renameat(Fd(folder), from.c_str(), Fd(folder), to.c_str()) == 0;
}

bool SystemFiles::RemoveIn(FolderHandle folder, const std::string& name) {
  return ::unlinkat(Fd(folder), name.c_str(), 0) == 0 || errno == ENOENT;
}

bool SystemFiles::FlushFolder(FolderHandle folder) {
  if (::fsync(Fd(folder)) == 0)
    return true;
  if (errno != EBADF)
    return false;
  // A handle that only names the folder: flush through a readable one.
  const int fd = ::openat(Fd(folder), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

std::optional<FileState> SystemFiles::StateIn(FolderHandle folder, const std::string& name) {
  struct stat info {};
  if (::fstatat(Fd(folder), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return std::nullopt;
  return FileState{
      {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
      static_cast<std::uint64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec),
      static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

FileHandle SystemFiles::CreateUnnamedIn(FolderHandle folder) {
  // Old kernels and some file systems refuse O_TMPFILE; the caller then
  // does without cloning.
  const int fd = ::openat(Fd(folder), ".", O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  return fd < 0 ? kNoFile : fd;
}

}  // namespace quillmark
