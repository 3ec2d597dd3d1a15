// The only core file that calls the operating system: the file seam on
// Linux (FICLONE, O_TMPFILE and sync_file_range are Linux's own).
#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform_file.h"

namespace quillmark {
namespace {

int Fd(FileHandle file) {
  return static_cast<int>(file);
}

FileState StateOfInfo(const struct stat& info) {
  return FileState{
      {static_cast<std::uint64_t>(info.st_dev), static_cast<std::uint64_t>(info.st_ino)},
      static_cast<std::uint64_t>(info.st_size),
      static_cast<std::int64_t>(info.st_mtim.tv_sec),
      static_cast<std::int64_t>(info.st_mtim.tv_nsec)};
}

// A single read or write call moves at most this much on Linux.
constexpr std::uint64_t kMaxTransfer = 0x7ffff000;

// Repeats a read or write until size bytes have moved; an interrupted call
// is retried, an error or a zero count ends it. Returns the bytes moved.
template <class Transfer>
std::uint64_t TransferAll(std::uint64_t size, Transfer transfer) {
  std::uint64_t done = 0;
  while (done < size) {
    const std::uint64_t chunk = size - done < kMaxTransfer ? size - done : kMaxTransfer;
    const ssize_t moved = transfer(done, chunk);
    if (moved < 0 && errno == EINTR)
      continue;
    if (moved <= 0)
      break;
    done += static_cast<std::uint64_t>(moved);
  }
  return done;
}

}  // namespace

FileHandle SystemFiles::OpenForReading(const std::string& path) {
  // O_NONBLOCK keeps a FIFO without a writer from blocking the open; the
  // type check then turns it away.
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0)
    return kNoFile;
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    ::close(fd);
    return kNoFile;
  }
  const int flags = ::fcntl(fd, F_GETFL);
  if (flags >= 0)
    ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  return fd;
}

std::optional<std::uint64_t> SystemFiles::SizeOf(FileHandle file) {
  struct stat info {};
  if (::fstat(Fd(file), &info) != 0 || info.st_size < 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.st_size);
}

std::uint64_t SystemFiles::ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) {
  // A regular file delivers a whole request unless it ends first or a
  // signal intervenes; keep asking until it ends.
  return TransferAll(size, [&](std::uint64_t done, std::uint64_t chunk) {
    return ::read(Fd(file), buffer + done, chunk);
  });
}

FileHandle SystemFiles::CreateExclusive(const std::string& path) {
  const int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  return fd < 0 ? kNoFile : fd;
}

std::uint64_t SystemFiles::WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) {
  // Continue only after partial writes; an error or a zero write ends it.
  return TransferAll(size, [&](std::uint64_t done, std::uint64_t chunk) {
    return ::write(Fd(file), data + done, chunk);
  });
}

bool SystemFiles::FlushToDisk(FileHandle file) {
  return ::fsync(Fd(file)) == 0;
}

bool SystemFiles::Close(FileHandle file) {
  // Linux releases the descriptor even when close reports EINTR, so it is
  // never retried; any error is reported, as data may not have reached the file.
  return ::close(Fd(file)) == 0;
}

bool SystemFiles::Remove(const std::string& path) {
  return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

CloneResult SystemFiles::CloneFile(FileHandle target, FileHandle source) {
  if (::ioctl(Fd(target), FICLONE, Fd(source)) == 0)
    return CloneResult::Cloned;
  switch (errno) {
    case EXDEV:       // different file systems
    case ENOSYS:      // kernel without it
    case EOPNOTSUPP:  // file system without shared extents (ext4, tmpfs)
    case ENOTTY:      // file system without the ioctl at all
    case EINVAL:      // sizes or alignment it cannot share
      return CloneResult::Refused;
    default:
      return CloneResult::Failed;
  }
}

std::uint64_t SystemFiles::WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                                   std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, std::uint64_t chunk) {
    return ::pwrite(Fd(file), data + done, chunk, static_cast<off_t>(offset + done));
  });
}

std::optional<std::uint64_t> SystemFiles::NarrowSharedWrites(FileHandle file) {
  // The hint is in bytes and must be a whole number of the volume's blocks.
  struct statfs volume {};
  fsxattr attributes{};
  if (::fstatfs(Fd(file), &volume) != 0 || volume.f_bsize <= 0 ||
      ::ioctl(Fd(file), FS_IOC_FSGETXATTR, &attributes) != 0) {
    return std::nullopt;
  }
  attributes.fsx_xflags |= FS_XFLAG_COWEXTSIZE;
  attributes.fsx_cowextsize = static_cast<std::uint32_t>(volume.f_bsize);
  if (::ioctl(Fd(file), FS_IOC_FSSETXATTR, &attributes) != 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(volume.f_bsize);
}

FileHandle SystemFiles::Duplicate(FileHandle file) {
  const int fd = ::fcntl(Fd(file), F_DUPFD_CLOEXEC, 0);
  return fd < 0 ? kNoFile : fd;
}

void SystemFiles::StartWriteback(FileHandle file) {
  // Only a head start; the writer does not wait for the disk unless durable.
  ::sync_file_range(Fd(file), 0, 0, SYNC_FILE_RANGE_WRITE);
}

void SystemFiles::ReleaseWhenWritten(FileHandle file) {
  ::sync_file_range(
      Fd(file), 0, 0,
      SYNC_FILE_RANGE_WAIT_BEFORE | SYNC_FILE_RANGE_WRITE | SYNC_FILE_RANGE_WAIT_AFTER);
  ::posix_fadvise(Fd(file), 0, 0, POSIX_FADV_DONTNEED);
}

bool SystemFiles::IsDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool SystemFiles::MakeDirectory(const std::string& path) {
  return ::mkdir(path.c_str(), 0777) == 0;
}

bool SystemFiles::RemoveEmptyDirectory(const std::string& path) {
  return ::rmdir(path.c_str()) == 0;
}

bool SystemFiles::FlushDirectory(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0)
    return false;
  const bool flushed = ::fsync(fd) == 0;
  return ::close(fd) == 0 && flushed;
}

std::string SystemFiles::AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == kPathSeparator)
    return path;
  std::vector<char> buffer(PATH_MAX + 1);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE)
      return path;
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data()) + kPathSeparator + path;
}

std::optional<std::uint64_t> SystemFiles::AvailableBytes(const std::string& directory) {
  struct statvfs info {};
  // No block figures at all (f_blocks 0: tmpfs without a size, some FUSE
  // file systems) is no figure, not a full volume.
  if (::statvfs(directory.c_str(), &info) != 0 || info.f_blocks == 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

std::optional<std::uint64_t> SystemFiles::ExistingFileSize(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
    return std::nullopt;
  if (info.st_nlink > 1)
    return 0;
  return static_cast<std::uint64_t>(info.st_blocks) * 512;
}

std::optional<FileIdentity> SystemFiles::IdentityOf(const std::string& path) {
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0)
    return std::nullopt;
  return FileIdentity{static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
}

PathKind SystemFiles::KindOf(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return errno == ENOENT || errno == ENOTDIR ? PathKind::None : PathKind::Unknown;
  if (S_ISREG(info.st_mode))
    return PathKind::RegularFile;
  if (S_ISDIR(info.st_mode))
    return PathKind::Directory;
  return S_ISLNK(info.st_mode) ? PathKind::Link : PathKind::Other;
}

std::optional<std::vector<std::string>> SystemFiles::ListDirectory(const std::string& path) {
  DIR* directory = ::opendir(path.c_str());
  if (directory == nullptr)
    return std::nullopt;
  std::vector<std::string> names;
  errno = 0;
  while (const dirent* entry = ::readdir(directory)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..")
      names.push_back(name);
  }
  // readdir reports an error only through errno.
  const bool complete = errno == 0;
  ::closedir(directory);
  if (!complete)
    return std::nullopt;
  return names;
}

std::uint64_t SystemFiles::ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* buffer,
                                  std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, std::uint64_t chunk) {
    return ::pread(Fd(file), buffer + done, chunk, static_cast<off_t>(offset + done));
  });
}

bool SystemFiles::DropCachedPages(FileHandle file) {
  // Dirty pages cannot be dropped, so they are written first.
  return ::fdatasync(Fd(file)) == 0 && ::posix_fadvise(Fd(file), 0, 0, POSIX_FADV_DONTNEED) == 0;
}

std::optional<FileState> SystemFiles::StateOf(FileHandle file) {
  struct stat info {};
  if (::fstat(Fd(file), &info) != 0)
    return std::nullopt;
  return StateOfInfo(info);
}

std::optional<FileState> SystemFiles::StateAt(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0)
    return std::nullopt;
  return StateOfInfo(info);
}

}  // namespace quillmark
