#include "device_file_writer.h"

#include <utility>

namespace quillmark {
namespace {

// Cloning an empty file costs nothing and shows whether the file system
// can clone at all, before any image is written for it.
bool TrialClone(PlatformFiles& files, const std::string& directory, FileHandle source) {
  const FileHandle trial = files.CreateUnnamed(directory);
  if (trial == kNoFile)
    return false;
  const bool cloned = files.CloneFile(trial, source) == CloneResult::Cloned;
  files.Close(trial);
  return cloned;
}

}  // namespace

bool DirectorySharesData(PlatformFiles& files, const std::string& directory) {
  const FileHandle source = files.CreateUnnamed(directory);
  if (source == kNoFile)
    return false;
  const bool shares = TrialClone(files, directory, source);
  files.Close(source);
  return shares;
}

DeviceFileWriter::DeviceFileWriter(PlatformFiles& files, std::string directory,
                                   const std::uint8_t* image, std::uint64_t size, Options options)
    : m_files(files),
      m_directory(std::move(directory)),
      m_image(image),
      m_size(size),
      m_options(options),
      m_mode(options.allowCloning ? Mode::Untried : Mode::Writing) {}

DeviceFileWriter::~DeviceFileWriter() {
  StopCloning();
  ReleasePrevious();
}

ReplaceOutcome DeviceFileWriter::Write(const std::string& path, const std::string& tempPath) {
  // Prepared with the first device, so a run stopped before it costs nothing.
  if (m_mode == Mode::Untried)
    m_mode = PrepareSource() ? Mode::Cloning : Mode::Writing;
  const ReplaceOutcome outcome = ReplaceFileBy(
      m_files, path, tempPath, [this](FileHandle file) { return Fill(file); }, m_options.durable);
  // The previous file went to the disk while this one was written.
  ReleasePrevious();
  m_previous = m_written;
  m_written = kNoFile;
  return outcome;
}

bool DeviceFileWriter::PrepareSource() {
  m_source = m_files.CreateUnnamed(m_directory);
  if (m_source == kNoFile)
    return false;
  // The records of the device at hand are in the image already; every
  // clone gets its own written over them.
  const bool usable = TrialClone(m_files, m_directory, m_source) &&
                      m_files.WriteOnce(m_source, m_image, m_size) == m_size;
  if (!usable)
    StopCloning();
  return usable;
}

bool DeviceFileWriter::Fill(FileHandle file) {
  if (m_mode == Mode::Cloning) {
    switch (m_files.CloneFile(file, m_source)) {
      case CloneResult::Cloned: {
        const std::uint64_t offset = m_options.recordOffset;
        const std::uint64_t size = m_options.recordSize;
        return m_files.WriteAt(file, offset, m_image + offset, size) == size;
      }
      case CloneResult::Refused:
        StopCloning();
        break;
      case CloneResult::Failed:
        // Whatever part was shared is overwritten by the whole write.
        break;
    }
  }
  const bool written = m_files.WriteOnce(file, m_image, m_size) == m_size;
  if (written && m_options.steadyMemory) {
    m_files.StartWriteback(file);
    m_written = m_files.Duplicate(file);
  }
  return written;
}

void DeviceFileWriter::ReleasePrevious() {
  if (m_previous == kNoFile)
    return;
  m_files.ReleaseWhenWritten(m_previous);
  m_files.Close(m_previous);
  m_previous = kNoFile;
}

void DeviceFileWriter::StopCloning() {
  if (m_source != kNoFile)
    m_files.Close(m_source);
  m_source = kNoFile;
  m_mode = Mode::Writing;
}

}  // namespace quillmark
