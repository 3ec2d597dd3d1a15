#pragma once

#include <cstdint>
#include <string>

#include "file_replacement.h"
#include "platform_file.h"

namespace quillmark {

// Puts each device's image in place for the batch writer. Where the file
// system can share data between files, every file is a clone of one
// private, unnamed copy of the image (written once, from the run's own
// checked buffer, never from the input path) with only the device's
// record bytes written over it; a batch then costs next to no time or
// space. Elsewhere, or as soon as the file system refuses, each file is
// written whole from the buffer in one request.
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
  };

  // image must hold size bytes and outlive the writer; between devices
  // only the record bytes may change.
  DeviceFileWriter(PlatformFiles& files, std::string directory, const std::uint8_t* image,
                   std::uint64_t size, Options options);
  ~DeviceFileWriter();
  DeviceFileWriter(const DeviceFileWriter&) = delete;
  DeviceFileWriter& operator=(const DeviceFileWriter&) = delete;

  // Writes the image as it stands now under tempPath, then renames it onto path.
  ReplaceOutcome Write(const std::string& path, const std::string& tempPath);
  // True while files are being cloned (once the first one was written).
  bool Cloning() const { return m_mode == Mode::Cloning; }

 private:
  enum class Mode { Untried, Cloning, Writing };

  bool PrepareSource();
  bool Fill(FileHandle file);
  void StopCloning();
  void ReleasePrevious();

  PlatformFiles& m_files;
  std::string m_directory;
  const std::uint8_t* m_image;
  std::uint64_t m_size;
  Options m_options;
  Mode m_mode;
  FileHandle m_source = kNoFile;
  FileHandle m_written = kNoFile;   // the file just written, on its way to the disk
  FileHandle m_previous = kNoFile;  // the one before it
};

// True when new files in directory can share data with one another, as
// the batch writer's clones do: a batch there takes about one image's
// space and a few blocks per device, not an image per device.
bool DirectorySharesData(PlatformFiles& files, const std::string& directory);

}  // namespace quillmark
