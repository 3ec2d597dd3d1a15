// The only core file that calls the operating system (Windows). Paths are
// UTF-8 and go to the wide-character calls as UTF-16.
#include <windows.h>
#include <winioctl.h>

#include <optional>
#include <string>
#include <vector>

#include "platform_file.h"
#include "win32_block_cloning.h"
#include "win32_path.h"

namespace quillmark {
namespace {

HANDLE Win(FileHandle file) {
  return reinterpret_cast<HANDLE>(file);
}

FileHandle Own(HANDLE handle) {
  return handle == INVALID_HANDLE_VALUE ? kNoFile : reinterpret_cast<FileHandle>(handle);
}

// One ReadFile or WriteFile moves at most a DWORD's worth; keep below it.
constexpr std::uint64_t kMaxTransfer = 0x40000000;

// Repeats a read or write until size bytes have moved; a failure or a zero
// count ends it. Returns the bytes moved.
template <class Transfer>
std::uint64_t TransferAll(std::uint64_t size, Transfer transfer) {
  std::uint64_t done = 0;
  while (done < size) {
    const DWORD chunk = static_cast<DWORD>(size - done < kMaxTransfer ? size - done : kMaxTransfer);
    DWORD moved = 0;
    if (!transfer(done, chunk, &moved) || moved == 0)
      break;
    done += moved;
  }
  return done;
}

OVERLAPPED At(std::uint64_t offset) {
  OVERLAPPED position{};
  position.Offset = static_cast<DWORD>(offset);
  position.OffsetHigh = static_cast<DWORD>(offset >> 32);
  return position;
}

bool IsFileType(HANDLE file, bool wantDirectory) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileType(file) != FILE_TYPE_DISK || !::GetFileInformationByHandle(file, &info))
    return false;
  return ((info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) == wantDirectory;
}

}  // namespace

FileHandle SystemFiles::OpenForReading(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return kNoFile;
  // Others may read the image while it is read, never write it.
  const HANDLE file =
      ::CreateFileW(name->c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                    FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return kNoFile;
  // Backup semantics opens folders too, and a device name (NUL, COM1)
  // opens the device: only a file on a disk is an image.
  if (!IsFileType(file, false)) {
    ::CloseHandle(file);
    return kNoFile;
  }
  return Own(file);
}

std::optional<std::uint64_t> SystemFiles::SizeOf(FileHandle file) {
  LARGE_INTEGER size{};
  if (!::GetFileSizeEx(Win(file), &size) || size.QuadPart < 0)
    return std::nullopt;
  return static_cast<std::uint64_t>(size.QuadPart);
}

std::uint64_t SystemFiles::ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, DWORD chunk, DWORD* moved) {
    return ::ReadFile(Win(file), buffer + done, chunk, moved, nullptr) != 0;
  });
}

FileHandle SystemFiles::CreateExclusive(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return kNoFile;
  // CREATE_NEW fails on anything standing under the name, a link too; no
  // one else may open the file while it is written.
  return Own(::CreateFileW(name->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL, nullptr));
}

std::uint64_t SystemFiles::WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, DWORD chunk, DWORD* moved) {
    return ::WriteFile(Win(file), data + done, chunk, moved, nullptr) != 0;
  });
}

bool SystemFiles::FlushToDisk(FileHandle file) {
  return ::FlushFileBuffers(Win(file)) != 0;
}

bool SystemFiles::Close(FileHandle file) {
  return ::CloseHandle(Win(file)) != 0;
}

bool SystemFiles::Remove(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return false;
  if (::DeleteFileW(name->c_str()))
    return true;
  const DWORD error = ::GetLastError();
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

CloneResult SystemFiles::CloneFile(FileHandle target, FileHandle source) {
  return CloneBlocks(Win(target), Win(source));
}

std::uint64_t SystemFiles::WriteAt(FileHandle file, std::uint64_t offset, const std::uint8_t* data,
                                   std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, DWORD chunk, DWORD* moved) {
    OVERLAPPED position = At(offset + done);
    return ::WriteFile(Win(file), data + done, chunk, moved, &position) != 0;
  });
}

// ReFS copies a shared cluster when it is written and sets nothing aside
// beforehand.
std::optional<std::uint64_t> SystemFiles::NarrowSharedWrites(FileHandle file) {
  return PlatformFiles::NarrowSharedWrites(file);
}

// The cache manager bounds a long batch's unwritten data by itself (it
// holds writers back once too much waits); nothing is kept to release.
FileHandle SystemFiles::Duplicate(FileHandle file) {
  return PlatformFiles::Duplicate(file);
}

void SystemFiles::StartWriteback(FileHandle file) {
  PlatformFiles::StartWriteback(file);
}

void SystemFiles::ReleaseWhenWritten(FileHandle file) {
  PlatformFiles::ReleaseWhenWritten(file);
}

bool SystemFiles::IsDirectory(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return false;
  const DWORD attributes = ::GetFileAttributesW(name->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool SystemFiles::MakeDirectory(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  return name && ::CreateDirectoryW(name->c_str(), nullptr) != 0;
}

bool SystemFiles::RemoveEmptyDirectory(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  return name && ::RemoveDirectoryW(name->c_str()) != 0;
}

bool SystemFiles::FlushDirectory(const std::string& path) {
  // Windows cannot flush a folder's entries; every rename was written
  // through instead. What is left to confirm is that the folder is there.
  const HANDLE folder = OpenForQuery(path);
  if (folder == INVALID_HANDLE_VALUE)
    return false;
  const bool isFolder = IsFileType(folder, true);
  return ::CloseHandle(folder) != 0 && isFolder;
}

std::string SystemFiles::AbsolutePath(const std::string& path) {
  return FullPath(path).value_or(path);
}

std::optional<std::uint64_t> SystemFiles::AvailableBytes(const std::string& directory) {
  const std::optional<std::wstring> name = ToWidePath(directory);
  ULARGE_INTEGER available{};
  if (!name || !::GetDiskFreeSpaceExW(name->c_str(), &available, nullptr, nullptr))
    return std::nullopt;
  return available.QuadPart;
}

std::optional<std::uint64_t> SystemFiles::ExistingFileSize(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return std::nullopt;
  // The name itself, never what a link points to.
  const HANDLE file = ::CreateFileW(
      name->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  FILE_STANDARD_INFO standard{};
  const bool known =
      ::GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag) &&
      ::GetFileInformationByHandleEx(file, FileStandardInfo, &standard, sizeof standard);
  ::CloseHandle(file);
  if (!known || standard.Directory || (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
      standard.AllocationSize.QuadPart < 0)
    return std::nullopt;
  if (standard.NumberOfLinks > 1)
    return 0;
  return static_cast<std::uint64_t>(standard.AllocationSize.QuadPart);
}

std::optional<FileIdentity> SystemFiles::IdentityOf(const std::string& path) {
  const HANDLE file = OpenForQuery(path);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = ::GetFileInformationByHandle(file, &info) != 0;
  ::CloseHandle(file);
  if (!known)
    return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber,
                      (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow};
}

PathKind SystemFiles::KindOf(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!name || !::GetFileAttributesExW(name->c_str(), GetFileExInfoStandard, &data)) {
    const DWORD error = name ? ::GetLastError() : ERROR_INVALID_NAME;
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
                   error == ERROR_INVALID_NAME
               ? PathKind::None
               : PathKind::Unknown;
  }
  // A symbolic link or a junction, never followed.
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return PathKind::Link;
  if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return PathKind::Directory;
  return (data.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) != 0 ? PathKind::Other
                                                              : PathKind::RegularFile;
}

std::optional<std::vector<std::string>> SystemFiles::ListDirectory(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path + "\\*");
  if (!name)
    return std::nullopt;
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      ::FindFirstFileExW(name->c_str(), FindExInfoBasic, &found, FindExSearchNameMatch, nullptr,
                         FIND_FIRST_EX_LARGE_FETCH);
  std::vector<std::string> names;
  if (search == INVALID_HANDLE_VALUE) {
    // Only an empty drive root has not even "." and "..".
    if (::GetLastError() == ERROR_FILE_NOT_FOUND && IsDirectory(path))
      return names;
    return std::nullopt;
  }
  do {
    const std::wstring entry = found.cFileName;
    if (entry != L"." && entry != L"..")
      names.push_back(ToUtf8(entry));
  } while (::FindNextFileW(search, &found));
  const bool complete = ::GetLastError() == ERROR_NO_MORE_FILES;
  ::FindClose(search);
  if (!complete)
    return std::nullopt;
  return names;
}

std::uint64_t SystemFiles::ReadAt(FileHandle file, std::uint64_t offset, std::uint8_t* buffer,
                                  std::uint64_t size) {
  return TransferAll(size, [&](std::uint64_t done, DWORD chunk, DWORD* moved) {
    OVERLAPPED position = At(offset + done);
    return ::ReadFile(Win(file), buffer + done, chunk, moved, &position) != 0;
  });
}

bool SystemFiles::DropCachedPages(FileHandle file) {
  // Windows drops no single file's pages from its cache on request; a
  // reading from the disk cannot be promised.
  return PlatformFiles::DropCachedPages(file);
}

namespace {

std::optional<FileState> StateOfHandle(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (::GetFileInformationByHandle(file, &info) == 0)
    return std::nullopt;
  // The last write time counts 100 ns ticks.
  const std::uint64_t written = (std::uint64_t{info.ftLastWriteTime.dwHighDateTime} << 32) |
                                info.ftLastWriteTime.dwLowDateTime;
  return FileState{
      {info.dwVolumeSerialNumber, (std::uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow},
      (std::uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow,
      static_cast<std::int64_t>(written / 10000000),
      static_cast<std::int64_t>(written % 10000000 * 100)};
}

}  // namespace

std::optional<FileState> SystemFiles::StateOf(FileHandle file) {
  return StateOfHandle(Win(file));
}

std::optional<FileState> SystemFiles::StateAt(const std::string& path) {
  const std::optional<std::wstring> name = ToWidePath(path);
  if (!name)
    return std::nullopt;
  // The link or junction itself, never what it leads to.
  const HANDLE file = ::CreateFileW(
      name->c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
  if (file == INVALID_HANDLE_VALUE)
    return std::nullopt;
  const std::optional<FileState> state = StateOfHandle(file);
  ::CloseHandle(file);
  return state;
}

}  // namespace quillmark
