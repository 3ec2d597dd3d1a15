#include "platform_file.h"

#include <new>

namespace quillmark {

std::unique_ptr<std::uint8_t[]> PlatformFiles::AllocateImage(std::size_t size) {
  return std::unique_ptr<std::uint8_t[]>(new (std::nothrow) std::uint8_t[size]);
}

FileHandle PlatformFiles::CreateUnnamedIn(FolderHandle) {
  return kNoFile;
}

CloneResult PlatformFiles::CloneFile(FileHandle, FileHandle) {
  return CloneResult::Refused;
}

std::uint64_t PlatformFiles::WriteAt(FileHandle, std::uint64_t, const std::uint8_t*,
                                     std::uint64_t) {
  return 0;
}

std::optional<std::uint64_t> PlatformFiles::NarrowSharedWrites(FileHandle) {
  return std::nullopt;
}

FileHandle PlatformFiles::Duplicate(FileHandle) {
  return kNoFile;
}

void PlatformFiles::StartWriteback(FileHandle) {}

void PlatformFiles::ReleaseWhenWritten(FileHandle) {}

std::optional<FileIdentity> PlatformFiles::IdentityOf(const std::string&) {
  return std::nullopt;
}

PathKind PlatformFiles::KindOf(const std::string& path) {
  if (IsDirectory(path))
    return PathKind::Directory;
  const FileHandle file = OpenForReading(path);
  if (file == kNoFile)
    return PathKind::None;
  Close(file);
  return PathKind::RegularFile;
}

bool PlatformFiles::RemoveEmptyDirectory(const std::string&) {
  return false;
}

std::optional<std::vector<std::string>> PlatformFiles::ListDirectory(const std::string&) {
  return std::nullopt;
}

std::uint64_t PlatformFiles::ReadAt(FileHandle, std::uint64_t, std::uint8_t*, std::uint64_t) {
  return 0;
}

bool PlatformFiles::DropCachedPages(FileHandle) {
  return false;
}

std::optional<FileState> PlatformFiles::StateOf(FileHandle) {
  return std::nullopt;
}

std::optional<FileState> PlatformFiles::StateAt(const std::string&) {
  return std::nullopt;
}

std::optional<FileState> PlatformFiles::StateIn(FolderHandle, const std::string&) {
  return std::nullopt;
}

}  // namespace quillmark
