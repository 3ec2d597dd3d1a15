#include "console_host.h"

#include "signals.h"

namespace quillmark::cli {

ConsoleHost::ConsoleHost(std::int32_t deviceCount, ConsoleMode mode)
    : m_mode(mode), m_progress(deviceCount) {
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
    m_progress.Show(m_savingText, m_devicesDone);
    m_progressShown = true;
    return;
  }
  PrintLine(text);
}

void ConsoleHost::OnRunFinished(bool finished) {
  m_progress.End();
  m_progressShown = false;
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
    m_progress.Show(m_savingText, m_devicesDone);
}

void ConsoleHost::PrintLine(const std::string& text) {
  // An error replaces the progress line and keeps a line of its own; the
  // progress goes on below it.
  m_progress.PrintLine(text);
  m_progressShown = false;
  m_lastPrinted = text;
}

}  // namespace quillmark::cli
