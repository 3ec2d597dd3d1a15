#pragma once

#include <cairo.h>

#include <cstdint>
#include <vector>

#include "platform_file.h"

namespace quillmark::labels {

// Where cairo's PDF output goes: gathered into large writes to one open
// file. Once a write fails, every later one is refused, so cairo stops.
class PdfSink {
 public:
  PdfSink(PlatformFiles& files, FileHandle file);

  static cairo_status_t Write(void* sink, const unsigned char* data, unsigned int length);
  // Writes what is still gathered; true when every byte reached the file.
  bool Flush();
  bool failed() const { return m_failed; }

 private:
  PlatformFiles& m_files;
  FileHandle m_file;
  std::vector<std::uint8_t> m_buffer;
  bool m_failed = false;
};

}  // namespace quillmark::labels
