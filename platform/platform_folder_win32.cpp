// The file seam's folder operations on Windows. A file cannot be opened
// relative to a folder handle with the documented calls, so a folder is
// a record of its full path, a handle that keeps it from being moved or
// removed while the run holds it, and its identity, checked before each
// device; names are joined to the path.
#include <windows.h>

#include <atomic>
#include <optional>
#include <string>

#include "path_parts.h"
#include "platform_file.h"
#include "win32_block_cloning.h"
#include "win32_path.h"

namespace quillmark {
namespace {

struct FolderIdentity {
  DWORD volume = 0;
  DWORD indexHigh = 0;
  DWORD indexLow = 0;
  bool operator==(const FolderIdentity&) const = default;
};

struct Folder {
  std::string path;
  HANDLE handle = INVALID_HANDLE_VALUE;
  HANDLE lock = INVALID_HANDLE_VALUE;
  FolderIdentity identity;
};

Folder& Of(FolderHandle folder) {
  return *reinterpret_cast<Folder*>(folder);
}

std::string Join(FolderHandle folder, const std::string& name) {
  return JoinPath(Of(folder).path, name);
}

// Opens a folder for its identity; others may go on using it, but not move
// or remove it while this handle stays open.
HANDLE OpenFolderHandle(const std::wstring& path, DWORD share) {
  return ::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, share, nullptr, OPEN_EXISTING,
                       FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

std::optional<FolderIdentity> IdentityOfFolder(HANDLE handle) {
  BY_HANDLE_FILE_INFORMATION info{};
  if (!::GetFileInformationByHandle(handle, &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
    return std::nullopt;
  return FolderIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

}  // namespace

FolderHandle SystemFiles::OpenFolder(const std::string& path) {
  const std::optional<std::string> full = FullPath(path);
  const std::optional<std::wstring> wide = full ? ToWidePath(*full) : std::nullopt;
  if (!wide)
    return kNoFolder;
  const HANDLE handle = OpenFolderHandle(*wide, FILE_SHARE_READ | FILE_SHARE_WRITE);
  if (handle == INVALID_HANDLE_VALUE)
    return kNoFolder;
  const std::optional<FolderIdentity> identity = IdentityOfFolder(handle);
  if (!identity) {
    ::CloseHandle(handle);
    return kNoFolder;
  }
  return reinterpret_cast<FolderHandle>(new Folder{*full, handle, INVALID_HANDLE_VALUE, *identity});
}

void SystemFiles::CloseFolder(FolderHandle folder) {
  Folder* record = &Of(folder);
  if (record->lock != INVALID_HANDLE_VALUE)
    ::CloseHandle(record->lock);
  ::CloseHandle(record->handle);
  delete record;
}

FolderLock SystemFiles::LockFolder(FolderHandle folder) {
  // A hidden lock file that nobody may share and the system deletes with
  // its last handle, also when the process dies.
  Folder& record = Of(folder);
  const std::optional<std::wstring> name = ToWidePath(Join(folder, ".quillmark.lock"));
  if (!name)
    return FolderLock::Unsupported;
  const HANDLE lock = ::CreateFileW(
      name->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
      FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (lock == INVALID_HANDLE_VALUE)
    return ::GetLastError() == ERROR_SHARING_VIOLATION ? FolderLock::Busy : FolderLock::Unsupported;
  record.lock = lock;
  return FolderLock::Locked;
}

bool SystemFiles::FolderStillAt(FolderHandle folder, const std::string& path) {
  const std::optional<std::string> full = FullPath(path);
  const HANDLE handle = full ? OpenForQuery(*full) : INVALID_HANDLE_VALUE;
  if (handle == INVALID_HANDLE_VALUE)
    return false;
  const std::optional<FolderIdentity> identity = IdentityOfFolder(handle);
  ::CloseHandle(handle);
  return identity && *identity == Of(folder).identity;
}

FileHandle SystemFiles::CreateExclusiveIn(FolderHandle folder, const std::string& name) {
  return CreateExclusive(Join(folder, name));
}

bool SystemFiles::RenameIn(FolderHandle folder, const std::string& from, const std::string& to) {
  const std::optional<std::wstring> source = ToWidePath(Join(folder, from));
  const std::optional<std::wstring> target = ToWidePath(Join(folder, to));
  // The C library's rename does not replace an existing file here. Write
  // through: the move is on the disk when the call returns.
  return source && target &&
         ::MoveFileExW(source->c_str(), target->c_str(),
                       MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

bool SystemFiles::RemoveIn(FolderHandle folder, const std::string& name) {
  return Remove(Join(folder, name));
}

std::optional<FileState> SystemFiles::StateIn(FolderHandle folder, const std::string& name) {
  return StateAt(Join(folder, name));
}

bool SystemFiles::FlushFolder(FolderHandle folder) {
  // Windows cannot flush a folder's entries; every rename was written
  // through instead.
  return FlushDirectory(Of(folder).path);
}

FileHandle SystemFiles::CreateUnnamedIn(FolderHandle folder) {
  // Windows has no file without a name: this one is hidden, and the
  // system deletes it when its last handle closes, also when the process
  // dies. Only a volume that can share blocks gets one.
  const std::string& directory = Of(folder).path;
  if (!VolumeSharesBlocks(directory))
    return kNoFile;
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 16; ++attempt) {
    const std::string name = ".quillmark-" + std::to_string(::GetCurrentProcessId()) + "-" +
                             std::to_string(counter++) + ".tmp";
    const std::optional<std::wstring> wide = ToWidePath(Join(folder, name));
    if (!wide)
      return kNoFile;
    const HANDLE file = ::CreateFileW(
        wide->c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
        FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file != INVALID_HANDLE_VALUE)
      return reinterpret_cast<FileHandle>(file);
    if (::GetLastError() != ERROR_FILE_EXISTS)
      return kNoFile;
  }
  return kNoFile;
}

}  // namespace quillmark
