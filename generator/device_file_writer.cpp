#include "device_file_writer.h"

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

}  // namespace

bool DirectorySharesData(PlatformFiles& files, const std::string& directory) {
  const FolderHandle folder = files.OpenFolder(directory);
  if (folder == kNoFolder)
    return false;
  const FileHandle source = files.CreateUnnamedIn(folder);
  const bool shares = source != kNoFile && TrialClone(files, folder, source);
  if (source != kNoFile)
    files.Close(source);
  files.CloseFolder(folder);
  return shares;
}

DeviceFileWriter::DeviceFileWriter(PlatformFiles& files, FolderHandle folder,
                                   const std::uint8_t* image, std::uint64_t size, Options options)
    : m_files(files), m_folder(folder), m_image(image), m_size(size), m_options(options) {
  // One lane reads the records from the image itself; several need a copy
  // of the last block each, and without memory for two there is one.
  const std::uint64_t tailSize = m_size - m_options.recordOffset;
  std::vector<Lane> lanes(static_cast<std::size_t>(m_options.lanes > 1 ? m_options.lanes : 0));
  for (Lane& lane : lanes) {
    lane.tail.reset(new (std::nothrow) std::uint8_t[tailSize]);
    if (!lane.tail)
      break;
    std::memcpy(lane.tail.get(), m_image + m_options.recordOffset, tailSize);
  }
  while (!lanes.empty() && !lanes.back().tail)
    lanes.pop_back();
  if (lanes.size() > 1)
    m_lanes = std::move(lanes);
  else
    m_lanes.resize(1);
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
  if (own.tail)
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
  if (Cloning()) {
    switch (m_files.CloneFile(file, m_source)) {
      case CloneResult::Cloned: {
        const std::uint64_t offset = m_options.recordOffset;
        const std::uint64_t size = m_options.recordSize;
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

bool DeviceFileWriter::WriteWhole(Lane& lane, FileHandle file) {
  if (!lane.tail)
    return m_files.WriteAll(file, m_image, m_size) == m_size;
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
