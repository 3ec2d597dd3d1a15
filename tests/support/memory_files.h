#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform_file.h"

namespace quillmark::test {

// A file system held in memory, for faults the machine cannot make on
// demand (a short read, no memory) and for fuzzing without disk traffic.
class MemoryFiles final : public PlatformFiles {
 public:
  std::map<std::string, std::vector<std::uint8_t>> files;
  std::set<std::string> directories;
  std::optional<std::uint64_t> readLimit;  // a read delivers at most this many bytes
  bool refuseAllocation = false;
  std::optional<std::uint64_t> availableBytes = std::uint64_t{1} << 40;
  // Called after MakeDirectory made a directory, as another process could act then.
  std::function<void(const std::string&)> onDirectoryMade;
  int openFiles = 0;  // files opened and not yet closed

  FileHandle OpenForReading(const std::string& path) override;
  std::optional<std::uint64_t> SizeOf(FileHandle file) override;
  std::uint64_t ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) override;
  FileHandle CreateExclusive(const std::string& path) override;
  std::uint64_t WriteAll(FileHandle file, const std::uint8_t* data, std::uint64_t size) override;
  bool FlushToDisk(FileHandle) override { return true; }
  bool Close(FileHandle file) override;
  bool Remove(const std::string& path) override;
  FolderHandle OpenFolder(const std::string& path) override;
  void CloseFolder(FolderHandle folder) override;
  FolderLock LockFolder(FolderHandle folder) override;
  bool FolderStillAt(FolderHandle folder, const std::string& path) override;
  FileHandle CreateExclusiveIn(FolderHandle folder, const std::string& name) override;
  bool RenameIn(FolderHandle folder, const std::string& from, const std::string& to) override;
  bool RemoveIn(FolderHandle folder, const std::string& name) override;
  bool FlushFolder(FolderHandle) override { return true; }
  bool IsDirectory(const std::string& path) override { return directories.count(path) > 0; }
  bool MakeDirectory(const std::string& path) override;
  bool RemoveEmptyDirectory(const std::string& path) override;
  bool FlushDirectory(const std::string&) override { return true; }
  std::string AbsolutePath(const std::string& path) override { return path; }
  std::optional<std::uint64_t> AvailableBytes(const std::string&) override {
    return availableBytes;
  }
  std::optional<std::uint64_t> ExistingFileSize(const std::string& path) override;
  std::unique_ptr<std::uint8_t[]> AllocateImage(std::size_t size) override;

 private:
  struct OpenFile {
    std::string path;
    std::uint64_t position = 0;
  };
  struct OpenFolderState {
    std::string path;
    bool locked = false;
  };
  std::string PathIn(FolderHandle folder, const std::string& name) const;

  std::map<FileHandle, OpenFile> m_open;
  std::map<FolderHandle, OpenFolderState> m_folders;
  FileHandle m_next = 3;
};

}  // namespace quillmark::test
