#include "verify_console.h"

#include <cinttypes>
#include <cstdio>

#include "interface_text.h"
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
  // Most devices differing where all do: the files were written from
  // another image than the one given, not damaged one by one.
  for (const auto& [offset, devices] : m_differingAt) {
    if (devices >= 2 && devices * 2 > outcome.devicesChecked) {
      char hex[32];
      std::snprintf(hex, sizeof hex, "0x%" PRIx64, offset);
      m_progress.PrintLine(Fill({"大多数设备在同一偏移%1处不符：给出的镜像可能不是写入时用的镜像",
                                 "Most devices differ at the same offset %1: the image given "
                                 "may not be the one they were written from"},
                                {hex}));
      break;
    }
  }
  m_progress.PrintLine(SummaryText(outcome, m_batch.devices.size()));
}

}  // namespace quillmark::cli
