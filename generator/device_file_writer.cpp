#include "device_file_writer.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <utility>

namespace quillmark {
namespace {

// Cloning an empty file costs nothing and shows whether the file system
// can clone at all, before any image is written for it.
bool TrialClone(PlatformFiles& files, FolderHandle folder, FileHandle source) {
  const FileHandle trial = files.CreateUnnamedIn(folder);
  if (trial == kNoFile)
    return false;
  const bool cloned = files.CloneFile(trial, source) == CloneResult::Cloned;
  files.Close(trial);
  return cloned;
}

// Besides the blocks written into it, a clone takes an inode and a
// directory entry (two while it has its temporary name), with their share
// of the index blocks around them: 0.8 KiB a device on an XFS with
// 512-byte inodes, measured over 65535 devices (bench/README.md). Counted
// as 4 KiB, which still covers the largest inodes XFS makes (2 KiB).
constexpr std::uint64_t kCloneMetadataBytes = 4096;
// Where the file system cannot say what a write into shared data takes,
// the whole 64 KiB the records stand in is counted.
constexpr std::uint64_t kUnknownCloneBytes = 0x10000;

// What the system caches a file in: a write of part of a page that is not
// in the cache makes it read the rest from the disk first.
constexpr std::uint64_t kPageBytes = 4096;

// A clone's records are written with the rest of their block (the image's
// own bytes, which the clone holds already): a whole block is written
// without reading it first, where the records alone cost a read from the
// disk per device.
std::uint64_t CloneWriteSize(std::uint64_t recordOffset, std::uint64_t recordSize,
                             std::uint64_t tailSize, std::uint64_t unit) {
  if (unit == 0 || recordOffset % unit != 0)
    return recordSize;
  const std::uint64_t whole = (recordSize + unit - 1) / unit * unit;
  return whole <= tailSize ? whole : recordSize;
}

struct SharingProbe {
  bool shares = false;
  std::optional<std::uint64_t> writeUnit;  // what each block written into shared data takes
};

// Makes a private source as the writer does (its shared writes narrowed)
// and tries to clone it.
SharingProbe ProbeSharing(PlatformFiles& files, FolderHandle folder) {
  SharingProbe probe;
  const FileHandle source = files.CreateUnnamedIn(folder);
  if (source != kNoFile) {
    probe.writeUnit = files.NarrowSharedWrites(source);
    probe.shares = TrialClone(files, folder, source);
    files.Close(source);
  }
  return probe;
}

SharingProbe ProbeSharing(PlatformFiles& files, const std::string& directory) {
  const FolderHandle folder = files.OpenFolder(directory);
  if (folder == kNoFolder)
    return {};
  const SharingProbe probe = ProbeSharing(files, folder);
  files.CloseFolder(folder);
  return probe;
}

std::optional<std::uint64_t> CloneBytes(const SharingProbe& probe, std::uint64_t recordOffset,
                                        std::uint64_t recordSize) {
  if (!probe.shares)
    return std::nullopt;
  if (!probe.writeUnit || *probe.writeUnit == 0 || recordSize == 0)
    return kUnknownCloneBytes;
  const std::uint64_t unit = *probe.writeUnit;
  const std::uint64_t blocks = (recordOffset + recordSize - 1) / unit - recordOffset / unit + 1;
  return blocks * unit + kCloneMetadataBytes;
}

std::optional<std::uint64_t> CloneBytes(const SharingProbe& probe, const StampLayout& stamp) {
  if (!probe.shares)
    return std::nullopt;
  const std::uint64_t unit =
      probe.writeUnit && *probe.writeUnit != 0 ? *probe.writeUnit : kUnknownCloneBytes;
  std::uint64_t bytes = kCloneMetadataBytes;
  for (const ByteRange& block : stamp.WrittenBlocks(unit))
    bytes += block.size;
  return bytes;
}

}  // namespace

std::optional<std::uint64_t> SharedFileBytes(PlatformFiles& files, const std::string& directory,
                                             const StampLayout& stamp) {
  return CloneBytes(ProbeSharing(files, directory), stamp);
}

std::optional<std::uint64_t> SharedFileBytesIn(PlatformFiles& files, FolderHandle folder,
                                               const StampLayout& stamp) {
  return CloneBytes(ProbeSharing(files, folder), stamp);
}

bool DirectorySharesData(PlatformFiles& files, const std::string& directory) {
  return ProbeSharing(files, directory).shares;
}

std::optional<std::uint64_t> SharedFileBytes(PlatformFiles& files, const std::string& directory,
                                             std::uint64_t recordOffset, std::uint64_t recordSize) {
  return CloneBytes(ProbeSharing(files, directory), recordOffset, recordSize);
}

std::optional<std::uint64_t> SharedFileBytesIn(PlatformFiles& files, FolderHandle folder,
                                               std::uint64_t recordOffset,
                                               std::uint64_t recordSize) {
  return CloneBytes(ProbeSharing(files, folder), recordOffset, recordSize);
}

DeviceFileWriter::DeviceFileWriter(PlatformFiles& files, FolderHandle folder,
                                   const std::uint8_t* image, std::uint64_t size, Options options)
    : m_files(files), m_folder(folder), m_image(image), m_size(size), m_options(options) {
  // One lane reads the records from the image itself; several need a copy
  // of the last block each, and without memory for two there is one.
  // A stamp needs a copy on every lane, one lane included.
  const std::uint64_t tailSize = m_size - m_options.recordOffset;
  const int copies = m_options.lanes > 1 || m_options.stamp ? std::max(m_options.lanes, 1) : 0;
  std::vector<Lane> lanes(static_cast<std::size_t>(copies));
  for (Lane& lane : lanes) {
    lane.tail.reset(new (std::nothrow) std::uint8_t[tailSize]);
    if (!lane.tail)
      break;
    if (!m_options.stamp)
      std::memcpy(lane.tail.get(), m_image + m_options.recordOffset, tailSize);
  }
  while (!lanes.empty() && !lanes.back().tail)
    lanes.pop_back();
  if (lanes.size() > 1 || (m_options.stamp && !lanes.empty()))
    m_lanes = std::move(lanes);
  else
    m_lanes.resize(1);
  if (m_options.stamp) {
    m_stampPages = InWindow(m_options.stamp->WrittenBlocks(kPageBytes));
    CopyIntoLanes(m_stampPages);
  }
}

// A stamp's window can start inside a file block larger than a page. What
// lies before the window is never stamped: a clone already holds it and a
// whole write takes it from the image.
std::vector<ByteRange> DeviceFileWriter::InWindow(std::vector<ByteRange> ranges) const {
  for (ByteRange& range : ranges) {
    if (range.offset < m_options.recordOffset) {
      const std::uint64_t cut = std::min(range.size, m_options.recordOffset - range.offset);
      range.offset += cut;
      range.size -= cut;
    }
  }
  return ranges;
}

// With a stamp a lane's copy is read only where the stamp writes, so only
// those ranges are copied from the image; the rest of the window is never
// touched (copied whole, 14 MiB a lane took 100 ms before device 1).
void DeviceFileWriter::CopyIntoLanes(const std::vector<ByteRange>& ranges) {
  for (Lane& lane : m_lanes) {
    if (!lane.tail)
      continue;
    for (const ByteRange& range : ranges)
      std::memcpy(lane.tail.get() + (range.offset - m_options.recordOffset), m_image + range.offset,
                  range.size);
  }
}

DeviceFileWriter::~DeviceFileWriter() {
  for (Lane& lane : m_lanes) {
    ReleasePrevious(lane);
    lane.previous = lane.written;
    ReleasePrevious(lane);
  }
  if (m_source != kNoFile)
    m_files.Close(m_source);
}

void DeviceFileWriter::Start() {
  if (m_options.allowCloning)
    m_cloning = PrepareSource();
}

StagedFile DeviceFileWriter::Stage(int lane, const std::string& tempName,
                                   const std::uint8_t* records) {
  Lane& own = m_lanes[static_cast<std::size_t>(lane)];
  if (own.tail && m_options.stamp)
    m_options.stamp->Stamp(own.tail.get(), records);
  else if (own.tail)
    std::memcpy(own.tail.get(), records, m_options.recordSize);
  const StagedFile staged = StageFile(
      m_files, m_folder, tempName, [&](FileHandle file) { return Fill(own, file); },
      m_options.durable);
  // The lane's previous file went to the disk while this one was written.
  ReleasePrevious(own);
  own.previous = own.written;
  own.written = kNoFile;
  return staged;
}

bool DeviceFileWriter::PrepareSource() {
  m_source = m_files.CreateUnnamedIn(m_folder);
  if (m_source == kNoFile)
    return false;
  // Set before the first clone, which carries it: otherwise each device's
  // record write on XFS holds 128 KiB of the volume for minutes.
  const std::uint64_t unit = m_files.NarrowSharedWrites(m_source).value_or(kPageBytes);
  if (m_options.stamp) {
    m_cloneWrites = InWindow(m_options.stamp->WrittenBlocks(unit));
    CopyIntoLanes(m_cloneWrites);
  }
  m_cloneWriteSize = CloneWriteSize(m_options.recordOffset, m_options.recordSize,
                                    m_size - m_options.recordOffset, unit);
  // Every clone gets its own records written over the ones copied here.
  const bool usable = TrialClone(m_files, m_folder, m_source) &&
                      m_files.WriteAll(m_source, m_image, m_size) == m_size;
  if (!usable) {
    m_files.Close(m_source);
    m_source = kNoFile;
  }
  return usable;
}

bool DeviceFileWriter::Fill(Lane& lane, FileHandle file) {
  // Without memory for its copy a stamped image cannot be made.
  if (m_options.stamp && !lane.tail)
    return false;
  if (Cloning()) {
    switch (m_files.CloneFile(file, m_source)) {
      case CloneResult::Cloned: {
        if (m_options.stamp)
          return WriteStampedBlocks(lane, file);
        const std::uint64_t offset = m_options.recordOffset;
        const std::uint64_t size = m_cloneWriteSize;
        const std::uint8_t* records = lane.tail ? lane.tail.get() : m_image + offset;
        return m_files.WriteAt(file, offset, records, size) == size;
      }
      case CloneResult::Refused:
        // The private copy stays open until the end: another lane may be
        // cloning from it right now.
        m_cloning = false;
        break;
      case CloneResult::Failed:
        // Whatever part was shared is overwritten by the whole write.
        break;
    }
  }
  const bool written = WriteWhole(lane, file);
  if (written && m_options.steadyMemory) {
    m_files.StartWriteback(file);
    lane.written = m_files.Duplicate(file);
  }
  return written;
}

bool DeviceFileWriter::WriteStampedBlocks(Lane& lane, FileHandle file) {
  for (const ByteRange& block : m_cloneWrites) {
    const std::uint8_t* bytes = lane.tail.get() + (block.offset - m_options.recordOffset);
    if (m_files.WriteAt(file, block.offset, bytes, block.size) != block.size)
      return false;
  }
  return true;
}

// Only the pages a stamp changes come from the lane's copy; the rest comes
// from the image every lane shares. Copied whole from each lane's own
// copy, two lanes read over 40 MiB a device pair, more than the processor's
// cache holds, and the writes took three times as long.
bool DeviceFileWriter::WriteStampedWhole(Lane& lane, FileHandle file) {
  const auto write = [&](const std::uint8_t* bytes, std::uint64_t size) {
    return m_files.WriteAll(file, bytes, size) == size;
  };
  std::uint64_t at = 0;
  for (const ByteRange& page : m_stampPages) {
    if (page.offset > at && !write(m_image + at, page.offset - at))
      return false;
    if (!write(lane.tail.get() + (page.offset - m_options.recordOffset), page.size))
      return false;
    at = page.offset + page.size;
  }
  return at == m_size || write(m_image + at, m_size - at);
}

bool DeviceFileWriter::WriteWhole(Lane& lane, FileHandle file) {
  if (!lane.tail)
    return m_files.WriteAll(file, m_image, m_size) == m_size;
  if (m_options.stamp)
    return WriteStampedWhole(lane, file);
  const std::uint64_t head = m_options.recordOffset;
  const std::uint64_t tail = m_size - head;
  return m_files.WriteAll(file, m_image, head) == head &&
         m_files.WriteAll(file, lane.tail.get(), tail) == tail;
}

void DeviceFileWriter::ReleasePrevious(Lane& lane) {
  if (lane.previous == kNoFile)
    return;
  m_files.ReleaseWhenWritten(lane.previous);
  m_files.Close(lane.previous);
  lane.previous = kNoFile;
}

}  // namespace quillmark
