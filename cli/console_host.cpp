#include "console_host.h"

#include <cstdio>

#include "console_text.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

constexpr const char* kEraseToEnd = "\x1b[K";

void Emit(const std::string& text) {
  WriteText(stdout, text);
}

}  // namespace

ConsoleHost::ConsoleHost(std::int32_t deviceCount, ConsoleMode mode)
    : m_deviceCount(deviceCount), m_mode(mode), m_start(std::chrono::steady_clock::now()) {
  m_written.reserve(static_cast<std::size_t>(deviceCount > 0 ? deviceCount : 0));
}

void ConsoleHost::SetStatus(StatusKind kind, std::string text) {
  if (kind != StatusKind::Saving) {
    // Quiet output keeps no saving texts between two failures, so the
    // failure the writer repeats at the end would stand twice in a row.
    if (m_mode.quiet && text == m_lastPrinted)
      return;
    PrintLine(text);
    return;
  }
  if (m_mode.quiet)
    return;
  if (m_mode.progressLine) {
    m_savingText = std::move(text);
    ShowProgress();
    return;
  }
  PrintLine(text);
}

void ConsoleHost::OnRunFinished(bool finished) {
  EndProgressLine();
  if (finished)
    PrintLine(std::string(kRunFinishedText));
}

bool ConsoleHost::StopRequested() {
  return StopSignal() != 0;
}

void ConsoleHost::OnDeviceDone(const MacAddress& firstAddress, bool written) {
  ++m_devicesDone;
  if (written)
    m_written.push_back(firstAddress);
  if (m_progressShown)
    ShowProgress();
}

void ConsoleHost::PrintLine(const std::string& text) {
  // An error replaces the progress line and keeps a line of its own; the
  // progress goes on below it.
  Emit((m_progressShown ? "\r" + text + kEraseToEnd : text) + "\n");
  m_progressShown = false;
  m_lastPrinted = text;
}

void ConsoleHost::ShowProgress() {
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
  char counts[96];
  if (m_devicesDone > 0 && seconds > 0.0) {
    std::snprintf(counts, sizeof counts, "  %d/%d  %.1f台/秒", m_devicesDone, m_deviceCount,
                  m_devicesDone / seconds);
  } else {
    std::snprintf(counts, sizeof counts, "  %d/%d", m_devicesDone, m_deviceCount);
  }
  Emit("\r" + m_savingText + counts + kEraseToEnd);
  m_progressShown = true;
}

void ConsoleHost::EndProgressLine() {
  if (!m_progressShown)
    return;
  Emit("\n");
  m_progressShown = false;
}

}  // namespace quillmark::cli
