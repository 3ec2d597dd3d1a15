#include "progress_line.h"

#include <cstdio>

#include "console_text.h"
#include "interface_text.h"
#include "printable_text.h"

namespace quillmark::cli {
namespace {

constexpr const char* kEraseToEnd = "\x1b[K";

}  // namespace

void EmitToStandardOutput(const std::string& text) {
  WriteText(stdout, text);
}

ProgressLine::ProgressLine(std::int32_t total, Clock clock, Output output)
    : m_total(total),
      m_clock(clock ? std::move(clock) : Clock(&std::chrono::steady_clock::now)),
      m_output(output ? std::move(output) : Output(&EmitToStandardOutput)),
      m_start(m_clock()) {}

void ProgressLine::Show(const std::string& text, std::int32_t done) {
  // Lines carry names read from folders and manifests: shown, never obeyed.
  m_text = EscapeControlCharacters(text);
  m_done = done;
  m_pending = true;
  const auto now = m_clock();
  // A line that is not standing (the first, or the one after a line of
  // its own) is drawn at once.
  if (!m_shown || now - m_drawnAt >= kRedrawInterval)
    Draw(now);
}

void ProgressLine::Draw(std::chrono::steady_clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - m_start).count();
  char counts[96];
  if (m_done > 0 && seconds > 0.0) {
    char rate[32];
    std::snprintf(rate, sizeof rate, "%.1f", m_done / seconds);
    std::snprintf(counts, sizeof counts, "  %d/%d  %s", m_done, m_total,
                  Fill({"%1台/秒", "%1 devices/s"}, {rate}).c_str());
  } else {
    std::snprintf(counts, sizeof counts, "  %d/%d", m_done, m_total);
  }
  m_output("\r" + m_text + counts + kEraseToEnd);
  m_drawnAt = now;
  m_shown = true;
  m_pending = false;
}

void ProgressLine::PrintLine(const std::string& text) {
  const std::string shown = EscapeControlCharacters(text);
  m_output((m_shown ? "\r" + shown + kEraseToEnd : shown) + "\n");
  m_shown = false;
  m_pending = false;
}

void ProgressLine::End() {
  if (m_pending)
    Draw(m_clock());
  if (!m_shown)
    return;
  m_output("\n");
  m_shown = false;
}

}  // namespace quillmark::cli
