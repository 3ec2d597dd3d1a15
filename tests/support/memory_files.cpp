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

bool MemoryFiles::Rename(const std::string& from, const std::string& to) {
  const auto it = files.find(from);
  if (it == files.end() || directories.count(to))
    return false;
  files[to] = std::move(it->second);
  files.erase(from);
  return true;
}

bool MemoryFiles::Remove(const std::string& path) {
  files.erase(path);
  return directories.count(path) == 0;
}

bool MemoryFiles::MakeDirectory(const std::string& path) {
  if (files.count(path) || directories.count(path))
    return false;
  directories.insert(path);
  return true;
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
