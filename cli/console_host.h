#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "batch_writer.h"
#include "mac_address.h"
#include "progress_line.h"

namespace quillmark::cli {

struct ConsoleMode {
  bool quiet = false;         // only the error texts and the final text
  bool progressLine = false;  // saving texts as one line updated in place (a terminal)
};

// Runs the batch writer for the command line: status texts become lines on
// standard output, a stop signal ends the run before its next device, and
// the devices whose files were written are kept for the manifest.
class ConsoleHost final : public BatchHost {
 public:
  ConsoleHost(std::int32_t deviceCount, ConsoleMode mode);

  void SetStatus(StatusKind kind, std::string text) override;
  void OnRunFinished(bool finished) override;
  bool StopRequested() override;
  void OnDeviceDone(const MacAddress& firstAddress, bool written) override;

  // First addresses of the devices whose files were written, in device order.
  const std::vector<MacAddress>& WrittenDevices() const { return m_written; }

 private:
  void PrintLine(const std::string& text);

  ConsoleMode m_mode;
  ProgressLine m_progress;
  std::vector<MacAddress> m_written;
  std::int32_t m_devicesDone = 0;
  std::string m_lastPrinted;
  std::string m_savingText;  // the device being saved, for the progress line
  bool m_progressShown = false;
};

}  // namespace quillmark::cli
