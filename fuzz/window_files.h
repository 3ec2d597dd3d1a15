#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform_file.h"

namespace quillmark::fuzz {

// Serves one read-only image of any size from a few described regions,
// so a 16 MiB image costs no 16 MiB copy per execution. Bytes outside the
// regions are never written: the checks must not depend on them. Every
// write operation fails, and the only directory is kOutputDirectory.
class WindowFiles final : public PlatformFiles {
 public:
  static constexpr const char* kImagePath = "image.bin";
  static constexpr const char* kOutputDirectory = "out";

  struct Region {
    std::uint64_t offset = 0;
    std::vector<std::uint8_t> bytes;
  };

  bool hasImage = false;
  std::uint64_t imageSize = 0;
  std::optional<std::uint64_t> deliveredBytes;  // a short read stops here
  std::vector<Region> regions;

  int openFiles = 0;
  int allocations = 0;
  std::uint64_t largestAllocation = 0;

  FileHandle OpenForReading(const std::string& path) override;
  std::optional<std::uint64_t> SizeOf(FileHandle file) override;
  std::uint64_t ReadAll(FileHandle file, std::uint8_t* buffer, std::uint64_t size) override;
  FileHandle CreateExclusive(const std::string&) override { return kNoFile; }
  std::uint64_t WriteAll(FileHandle, const std::uint8_t*, std::uint64_t) override { return 0; }
  bool FlushToDisk(FileHandle) override { return false; }
  bool Close(FileHandle file) override;
  bool Remove(const std::string&) override { return false; }
  FolderHandle OpenFolder(const std::string&) override { return kNoFolder; }
  void CloseFolder(FolderHandle) override {}
  FolderLock LockFolder(FolderHandle) override { return FolderLock::Unsupported; }
  bool FolderStillAt(FolderHandle, const std::string&) override { return false; }
  FileHandle CreateExclusiveIn(FolderHandle, const std::string&) override { return kNoFile; }
  bool RenameIn(FolderHandle, const std::string&, const std::string&) override { return false; }
  bool RemoveIn(FolderHandle, const std::string&) override { return false; }
  bool FlushFolder(FolderHandle) override { return false; }
  bool IsDirectory(const std::string& path) override { return path == kOutputDirectory; }
  bool MakeDirectory(const std::string&) override { return false; }
  bool FlushDirectory(const std::string&) override { return false; }
  std::string AbsolutePath(const std::string& path) override { return path; }
  std::optional<std::uint64_t> AvailableBytes(const std::string&) override { return 0; }
  std::optional<std::uint64_t> ExistingFileSize(const std::string&) override {
    return std::nullopt;
  }
  std::unique_ptr<std::uint8_t[]> AllocateImage(std::size_t size) override;

 private:
  static constexpr FileHandle kImageHandle = 7;
};

}  // namespace quillmark::fuzz
