#include "pdf_sink.h"

namespace quillmark::labels {
namespace {

constexpr std::size_t kGather = 1 << 20;

}  // namespace

PdfSink::PdfSink(PlatformFiles& files, FileHandle file) : m_files(files), m_file(file) {
  m_buffer.reserve(kGather);
}

cairo_status_t PdfSink::Write(void* sink, const unsigned char* data, unsigned int length) {
  auto& self = *static_cast<PdfSink*>(sink);
  if (self.m_failed)
    return CAIRO_STATUS_WRITE_ERROR;
  self.m_buffer.insert(self.m_buffer.end(), data, data + length);
  if (self.m_buffer.size() >= kGather && !self.Flush())
    return CAIRO_STATUS_WRITE_ERROR;
  return CAIRO_STATUS_SUCCESS;
}

bool PdfSink::Flush() {
  if (m_failed)
    return false;
  if (!m_buffer.empty() &&
      m_files.WriteAll(m_file, m_buffer.data(), m_buffer.size()) != m_buffer.size())
    m_failed = true;
  m_buffer.clear();
  return !m_failed;
}

}  // namespace quillmark::labels
