#pragma once

#include <cstdint>
#include <map>

#include "batch_verifier.h"
#include "progress_line.h"
#include "verify_report.h"

namespace quillmark::cli {

struct VerifyConsoleMode {
  bool quiet = false;         // only failures and the summary
  bool progressLine = false;  // the checking texts as one line updated in place (a terminal)
};

// Shows a verification on standard output: each device's checking text
// (or a progress line on a terminal), a line for each failure and each
// other file found, and keeps the report's rows. A stop signal ends the
// check.
class VerifyConsoleHost final : public VerifyHost {
 public:
  VerifyConsoleHost(const ExpectedBatch& batch, VerifyConsoleMode mode);

  void OnDeviceChecked(const DeviceResult& result) override;
  void OnFolderScanned(const FolderScan& scan) override;
  bool StopRequested() override;

  // Ends the progress line; the devices a stopped check did not reach go
  // into the report as unchecked.
  void Finish(const VerifyOutcome& outcome);
  // The summary, the last line, once the report is written and the
  // verdict known.
  void PrintSummary(const std::string& line) { m_progress.PrintLine(line); }

  const VerifyReport& Report() const { return m_report; }

 private:
  const ExpectedBatch& m_batch;
  VerifyConsoleMode m_mode;
  ProgressLine m_progress;
  VerifyReport m_report;
  std::int32_t m_done = 0;
  std::map<std::uint64_t, std::int32_t> m_differingAt;  // devices by first differing offset
};

}  // namespace quillmark::cli
