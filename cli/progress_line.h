#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>

namespace quillmark::cli {

// Standard output as a terminal shows a batch: one progress line updated
// in place (a text, the devices done of all and the rate), and every other
// text on a line of its own that takes the progress line's place.
//
// A batch on a file system that clones its files does thousands of
// devices a second; drawing each would cost more than writing them. The
// line is drawn at most every kRedrawInterval: what changes in between
// waits for the next draw, and the last state is drawn before the line
// ends, so the final count always stands.
class ProgressLine {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  using Output = std::function<void(const std::string&)>;

  static constexpr std::chrono::milliseconds kRedrawInterval{200};

  // The clock and the output are the system's unless a test gives its own.
  explicit ProgressLine(std::int32_t total, Clock clock = {}, Output output = {});

  // Shows text and the count in place of the previous progress.
  void Show(const std::string& text, std::int32_t done);
  // A line of its own; the progress goes on below it.
  void PrintLine(const std::string& text);
  // Ends the progress line, so what follows starts on a new line.
  void End();

 private:
  void Draw(std::chrono::steady_clock::time_point now);

  std::int32_t m_total;
  Clock m_clock;
  Output m_output;
  std::chrono::steady_clock::time_point m_start;
  std::chrono::steady_clock::time_point m_drawnAt;
  std::string m_text;
  std::int32_t m_done = 0;
  bool m_shown = false;    // a progress line stands on the terminal
  bool m_pending = false;  // it does not show the latest text and count yet
};

// Writes text to standard output at once, its bytes made valid UTF-8.
void EmitToStandardOutput(const std::string& text);

}  // namespace quillmark::cli
