#include "memory_files.h"

#include <algorithm>
#include <cstring>

namespace quillmark::test {

FileHandle MemoryFiles::OpenForReading(const std::string& path) {
  if (files.count(path) == 0)
    return kNoFile;
  ++openFiles;
  m_open[m_next] = OpenFile{path, 0};
  return m_next++;
}

std::optional<std::uint64_t> MemoryFiles::SizeOf(FileHandle file) {
  const auto it = m_open.find(file);
  if (it == m_open.end())
    return std::nullopt;
  return files[it->second.path].size();
}

std::uint64_t MemoryFiles::ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) {
  OpenFile& open = m_open.at(file);
  const std::vector<std::uint8_t>& bytes = files[open.path];
  std::uint64_t count = std::min<std::uint64_t>(size, bytes.size() - open.position);
  if (readLimit)
    count = std::min(count, *readLimit);
  if (count > 0)
    std::memcpy(buffer, bytes.data() + open.position, count);
  open.position += count;
  return count;
}

FileHandle MemoryFiles::CreateExclusive(const std::string& path) {
  if (files.count(path) || directories.count(path))
    return kNoFile;
  files[path];
  ++openFiles;
  m_open[m_next] = OpenFile{path, 0};
  return m_next++;
}

std::uint64_t MemoryFiles::WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) {
  std::vector<std::uint8_t>& bytes = files[m_open.at(file).path];
  bytes.insert(bytes.end(), data, data + size);
  return size;
}

bool MemoryFiles::Close(FileHandle file) {
  if (m_open.erase(file) == 0)
    return false;
  --openFiles;
  return true;
}

bool MemoryFiles::Remove(const std::string& path) {
  files.erase(path);
  return directories.count(path) == 0;
}

FolderHandle MemoryFiles::OpenFolder(const std::string& path) {
  if (directories.count(path) == 0)
    return kNoFolder;
  m_folders[m_next] = OpenFolderState{path, false};
  return m_next++;
}

void MemoryFiles::CloseFolder(FolderHandle folder) {
  m_folders.erase(folder);
}

FolderLock MemoryFiles::LockFolder(FolderHandle folder) {
  OpenFolderState& state = m_folders.at(folder);
  for (const auto& [handle, other] : m_folders) {
    if (handle != folder && other.locked && other.path == state.path)
      return FolderLock::Busy;
  }
  state.locked = true;
  return FolderLock::Locked;
}

bool MemoryFiles::FolderStillAt(FolderHandle folder, const std::string& path) {
  return m_folders.at(folder).path == path && directories.count(path) > 0;
}

std::string MemoryFiles::PathIn(FolderHandle folder, const std::string& name) const {
  return m_folders.at(folder).path + kPathSeparator + name;
}

FileHandle MemoryFiles::CreateExclusiveIn(FolderHandle folder, const std::string& name) {
  return CreateExclusive(PathIn(folder, name));
}

bool MemoryFiles::RenameIn(FolderHandle folder, const std::string& from, const std::string& to) {
  const auto it = files.find(PathIn(folder, from));
  if (it == files.end() || directories.count(PathIn(folder, to)))
    return false;
  std::vector<std::uint8_t> bytes = std::move(it->second);
  files.erase(it);
  files[PathIn(folder, to)] = std::move(bytes);
  return true;
}

bool MemoryFiles::RemoveIn(FolderHandle folder, const std::string& name) {
  return Remove(PathIn(folder, name));
}

bool MemoryFiles::MakeDirectory(const std::string& path) {
  if (files.count(path) || directories.count(path))
    return false;
  directories.insert(path);
  if (onDirectoryMade)
    onDirectoryMade(path);
  return true;
}

bool MemoryFiles::RemoveEmptyDirectory(const std::string& path) {
  const std::string inside = path + kPathSeparator;
  for (const auto& [name, bytes] : files) {
    if (name.rfind(inside, 0) == 0)
      return false;
  }
  for (const std::string& directory : directories) {
    if (directory.rfind(inside, 0) == 0)
      return false;
  }
  return directories.erase(path) > 0;
}

std::optional<std::uint64_t> MemoryFiles::ExistingFileSize(const std::string& path) {
  const auto it = files.find(path);
  if (it == files.end())
    return std::nullopt;
  return it->second.size();
}

std::unique_ptr<std::uint8_t[]> MemoryFiles::AllocateImage(std::size_t size) {
  if (refuseAllocation)
    return nullptr;
  return PlatformFiles::AllocateImage(size);
}

}  // namespace quillmark::test
