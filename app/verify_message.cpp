#include "verify_message.h"

#include "verify_texts.h"

namespace quillmark {

void VerifyMessage::AddDevice(const DeviceResult& result) {
  if (result.fault != DeviceFault::None)
    AddFailure(DeviceFaultText(m_batch, result));
}

void VerifyMessage::AddFolderScan(const FolderScan& scan) {
  if (!scan.listed)
    AddFailure(UnlistedFolderText(m_batch));
  // A file that merely does not belong is no failure; one holding an
  // address of the batch is.
  for (const FolderFinding& finding : scan.findings) {
    if (finding.batchAddress)
      AddFailure(FindingText(m_batch, finding));
  }
}

void VerifyMessage::AddFailure(std::string line) {
  ++m_failures;
  if (m_shown.size() < kShownFailures)
    m_shown.push_back(std::move(line));
}

std::string VerifyMessage::Text(const VerifyOutcome& outcome) const {
  std::string text = SummaryText(outcome, m_batch.devices.size());
  // Appended piece by piece: GCC 12 at -O2 takes "\n" + line for an
  // overlapping copy (-Wrestrict).
  for (const std::string& line : m_shown) {
    text += '\n';
    text += line;
  }
  if (m_failures > m_shown.size()) {
    text += '\n';
    text += MoreFailuresText(m_failures - m_shown.size());
  }
  return text;
}

}  // namespace quillmark
