#include "verify_console.h"

#include "signals.h"
#include "verify_texts.h"

namespace quillmark::cli {

VerifyConsoleHost::VerifyConsoleHost(const ExpectedBatch& batch, VerifyConsoleMode mode)
    : m_batch(batch), m_mode(mode), m_progress(static_cast<std::int32_t>(batch.devices.size())) {}

void VerifyConsoleHost::OnDeviceChecked(const DeviceResult& result) {
  ++m_done;
  m_report.AddDevice(result);
  if (!m_mode.quiet) {
    if (m_mode.progressLine)
      m_progress.Show(CheckingText(result.first), m_done);
    else
      m_progress.PrintLine(CheckingText(result.first));
  }
  if (result.fault == DeviceFault::Differs)
    ++m_differingAt[result.offset];
  if (result.fault != DeviceFault::None)
    m_progress.PrintLine(DeviceFaultText(m_batch, result));
}

void VerifyConsoleHost::OnFolderScanned(const FolderScan& scan) {
  m_report.AddFolderScan(m_batch, scan);
  if (!scan.listed)
    m_progress.PrintLine(UnlistedFolderText(m_batch));
  for (const FolderFinding& finding : scan.findings) {
    // A leftover temporary file is a note; quiet output keeps what fails
    // the check and the files of another lot, which a station would flash.
    if (!m_mode.quiet || !finding.temporary || finding.batchAddress)
      m_progress.PrintLine(FindingText(m_batch, finding));
  }
}

bool VerifyConsoleHost::StopRequested() {
  return StopSignal() != 0;
}

void VerifyConsoleHost::Finish(const VerifyOutcome& outcome) {
  for (std::size_t i = static_cast<std::size_t>(outcome.devicesChecked); i < m_batch.devices.size();
       ++i)
    m_report.AddUnchecked(m_batch.devices[i]);
  m_progress.End();
  if (const auto offset = CommonDifferingOffset(m_differingAt, outcome.devicesChecked))
    m_progress.PrintLine(WrongImageText(*offset));
}

}  // namespace quillmark::cli
