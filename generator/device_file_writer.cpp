#include "device_file_writer.h"

#include <utility>

namespace quillmark {

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
}

ReplaceOutcome DeviceFileWriter::Write(const std::string& path, const std::string& tempPath) {
  // Prepared with the first device, so a run stopped before it costs nothing.
  if (m_mode == Mode::Untried)
    m_mode = PrepareSource() ? Mode::Cloning : Mode::Writing;
  return ReplaceFileBy(
      m_files, path, tempPath, [this](FileHandle file) { return Fill(file); }, m_options.durable);
}

bool DeviceFileWriter::PrepareSource() {
  m_source = m_files.CreateUnnamed(m_directory);
  if (m_source == kNoFile)
    return false;
  // Trying with two empty files first spares writing the image once more
  // where cloning is refused (ext4, tmpfs).
  const FileHandle trial = m_files.CreateUnnamed(m_directory);
  bool usable = trial != kNoFile && m_files.CloneFile(trial, m_source) == CloneResult::Cloned;
  if (trial != kNoFile)
    m_files.Close(trial);
  // The records of the device at hand are in the image already; every
  // clone gets its own written over them.
  usable = usable && m_files.WriteOnce(m_source, m_image, m_size) == m_size;
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
  return m_files.WriteOnce(file, m_image, m_size) == m_size;
}

void DeviceFileWriter::StopCloning() {
  if (m_source != kNoFile)
    m_files.Close(m_source);
  m_source = kNoFile;
  m_mode = Mode::Writing;
}

}  // namespace quillmark
