#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace quillmark::cli {

// Standard output as a terminal shows a batch: one progress line updated
// in place (a text, the devices done of all and the rate), and every other
// text on a line of its own that takes the progress line's place.
class ProgressLine {
 public:
  explicit ProgressLine(std::int32_t total);

  // Shows text and the count in place of the previous progress.
  void Show(const std::string& text, std::int32_t done);
  // A line of its own; the progress goes on below it.
  void PrintLine(const std::string& text);
  // Ends the progress line, so what follows starts on a new line.
  void End();

 private:
  std::int32_t m_total;
  bool m_shown = false;
  std::chrono::steady_clock::time_point m_start;
};

// Writes text to standard output at once, its bytes made valid UTF-8.
void EmitToStandardOutput(const std::string& text);

}  // namespace quillmark::cli
