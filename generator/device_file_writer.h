#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "file_replacement.h"
#include "platform_file.h"
#include "stamp_layout.h"

namespace quillmark {

// Stages each device's image for the batch writer. Where the file system
// can share data between files, every file is a clone of one private,
// unnamed copy of the image (written once, from the run's own checked
// buffer, never from the input path) with only the device's record bytes
// written over it; a batch then costs next to no time or space. Elsewhere,
// or as soon as the file system refuses, each file is written whole.
//
// Files can be staged on several lanes at once, one thread per lane. With
// one lane the device's records are read from the image itself; with more,
// each lane keeps its own copy of the image's last block, so the shared
// image is never written while the lanes read it.
class DeviceFileWriter {
 public:
  struct Options {
    std::uint64_t recordOffset = 0;  // where the device's own bytes start
    std::uint64_t recordSize = 0;    // how many there are; the same for every device
    bool durable = false;
    bool allowCloning = true;
    // For batches larger than the cache can hold dirty: each file written
    // whole goes to the disk at once, and leaves the cache once there,
    // while the next one is written.
    bool steadyMemory = false;
    int lanes = 1;
    // A stamp profile in place of the records: each lane keeps its own
    // copy of the image from recordOffset (the layout's window) on, which
    // Stage stamps with the device's addresses; a clone gets each block a
    // field or checksum touches written over it.
    const StampLayout* stamp = nullptr;
  };

  // Files are made in folder, held open by the caller for the writer's
  // whole life. image must hold size bytes and outlive the writer. With
  // one lane only the record bytes may change between devices; with
  // more, none may.
  DeviceFileWriter(PlatformFiles& files, FolderHandle folder, const std::uint8_t* image,
                   std::uint64_t size, Options options);
  ~DeviceFileWriter();
  DeviceFileWriter(const DeviceFileWriter&) = delete;
  DeviceFileWriter& operator=(const DeviceFileWriter&) = delete;

  // Lanes that can stage files; fewer than asked when memory was short.
  int Lanes() const { return static_cast<int>(m_lanes.size()); }
  // Makes the private copy for cloning; called once, before the first file.
  void Start();
  // Stages one device's file under tempName, its records (recordSize
  // bytes, or with a stamp the device's addresses) in place; lanes other than this one may be
  // staging meanwhile.
  StagedFile Stage(int lane, const std::string& tempName, const std::uint8_t* records);

 private:
  struct Lane {
    std::unique_ptr<std::uint8_t[]> tail;  // the image from recordOffset on; null with one lane
    FileHandle written = kNoFile;          // the file just written, on its way to the disk
    FileHandle previous = kNoFile;         // the one before it
  };

  // True while files are being cloned.
  bool Cloning() const { return m_cloning.load(std::memory_order_relaxed); }
  bool PrepareSource();
  bool Fill(Lane& lane, FileHandle file);
  bool WriteWhole(Lane& lane, FileHandle file);
  bool WriteStampedBlocks(Lane& lane, FileHandle file);
  bool WriteStampedWhole(Lane& lane, FileHandle file);
  std::vector<ByteRange> InWindow(std::vector<ByteRange> ranges) const;
  void CopyIntoLanes(const std::vector<ByteRange>& ranges);
  void ReleasePrevious(Lane& lane);

  PlatformFiles& m_files;
  FolderHandle m_folder;
  const std::uint8_t* m_image;
  std::uint64_t m_size;
  Options m_options;
  std::vector<Lane> m_lanes;
  std::atomic<bool> m_cloning{false};
  FileHandle m_source = kNoFile;
  std::uint64_t m_cloneWriteSize = 0;    // bytes written over each clone from recordOffset on
  std::vector<ByteRange> m_cloneWrites;  // with a stamp: the blocks written over each clone
  std::vector<ByteRange> m_stampPages;   // with a stamp: the pages it changes, in order
};

// True when new files in directory can share data with one another, as
// the batch writer's clones do: a batch there takes about one image's
// space and a few blocks per device, not an image per device.
bool DirectorySharesData(PlatformFiles& files, const std::string& directory);

// Where new files in directory can share data with one another, the
// bytes each device's clone takes of the volume beside the one shared
// image: the blocks its records are written into and its file's own
// metadata, counted with room to spare. Empty where files cannot share
// data there (each file then takes a whole image).
std::optional<std::uint64_t> SharedFileBytes(PlatformFiles& files, const std::string& directory,
                                             std::uint64_t recordOffset, std::uint64_t recordSize);
// The same for a folder held open.
std::optional<std::uint64_t> SharedFileBytesIn(PlatformFiles& files, FolderHandle folder,
                                               std::uint64_t recordOffset,
                                               std::uint64_t recordSize);
// The same for files stamped with a profile: every block a field or a
// checksum touches is written into each clone.
std::optional<std::uint64_t> SharedFileBytes(PlatformFiles& files, const std::string& directory,
                                             const StampLayout& stamp);
std::optional<std::uint64_t> SharedFileBytesIn(PlatformFiles& files, FolderHandle folder,
                                               const StampLayout& stamp);

}  // namespace quillmark
