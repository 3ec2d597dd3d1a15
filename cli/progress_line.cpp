#include "progress_line.h"

#include <cstdio>

#include "console_text.h"

namespace quillmark::cli {
namespace {

constexpr const char* kEraseToEnd = "\x1b[K";

}  // namespace

void EmitToStandardOutput(const std::string& text) {
  WriteText(stdout, text);
}

ProgressLine::ProgressLine(std::int32_t total)
    : m_total(total), m_start(std::chrono::steady_clock::now()) {}

void ProgressLine::Show(const std::string& text, std::int32_t done) {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  char counts[96];
  if (done > 0 && seconds > 0.0) {
    std::snprintf(counts, sizeof counts, "  %d/%d  %.1f台/秒", done, m_total, done / seconds);
  } else {
    std::snprintf(counts, sizeof counts, "  %d/%d", done, m_total);
  }
  EmitToStandardOutput("\r" + text + counts + kEraseToEnd);
  m_shown = true;
}

void ProgressLine::PrintLine(const std::string& text) {
  EmitToStandardOutput((m_shown ? "\r" + text + kEraseToEnd : text) + "\n");
  m_shown = false;
}

void ProgressLine::End() {
  if (!m_shown)
    return;
  EmitToStandardOutput("\n");
  m_shown = false;
}

}  // namespace quillmark::cli
