#include "verify_json.h"

#include "json_run.h"
#include "signals.h"
#include "verify_texts.h"

namespace quillmark::cli {
namespace {

const char* FaultName(DeviceFault fault) {
  switch (fault) {
    case DeviceFault::None:
      return "exact";
    case DeviceFault::Missing:
      return "missing";
    case DeviceFault::NotRegularFile:
      return "not_regular_file";
    case DeviceFault::WrongSize:
      return "wrong_size";
    case DeviceFault::Differs:
      return "differs";
    case DeviceFault::RecordsWrong:
      return "records_wrong";
    case DeviceFault::Unreadable:
      return "unreadable";
    case DeviceFault::ChangedWhileRead:
      return "changed_while_read";
  }
  return "unreadable";
}

JsonLine Note(const char* kind, const std::string& message) {
  JsonLine note;
  note.Add("event", "note").Add("kind", kind).Add("message", message);
  return note;
}

}  // namespace

void VerifyJsonHost::OnDeviceChecked(const DeviceResult& result) {
  m_report.AddDevice(result);
  const bool exact = result.fault == DeviceFault::None;
  JsonLine event = DeviceEvent(static_cast<std::int32_t>(result.index + 1), result.first,
                               m_batch.macsPerDevice, exact ? "exact" : "failed");
  if (exact) {
    event.AddNull("fault").AddNull("message");
  } else {
    event.Add("fault", FaultName(result.fault)).Add("message", DeviceFaultText(m_batch, result));
  }
  if (result.fault == DeviceFault::WrongSize)
    event.Add("size", result.size);
  if (result.fault == DeviceFault::Differs) {
    ++m_differingAt[result.offset];
    event.Add("offset", result.offset).AddOrNull("part", result.part);
  }
  if (result.fault == DeviceFault::RecordsWrong) {
    std::vector<std::string> found;
    for (const MacAddress& address : result.heldAddresses)
      found.push_back(address.ToColonText());
    event.Add("found_macs", found);
  }
  PrintJson(event);
}

void VerifyJsonHost::OnFolderScanned(const FolderScan& scan) {
  m_report.AddFolderScan(m_batch, scan);
  if (!scan.listed)
    PrintJson(Note("folder_unreadable", UnlistedFolderText(m_batch)));
  for (const FolderFinding& finding : scan.findings) {
    const char* kind = finding.batchAddress ? "duplicate"
                       : finding.temporary  ? "leftover"
                                            : "extra";
    JsonLine event;
    event.Add("event", "other_file").Add("file", finding.name).Add("kind", kind);
    if (finding.batchAddress)
      event.Add("mac", finding.batchAddress->ToColonText());
    else
      event.AddNull("mac");
    PrintJson(event.Add("message", FindingText(m_batch, finding)));
  }
}

bool VerifyJsonHost::StopRequested() {
  return StopSignal() != 0;
}

void VerifyJsonHost::Finish(const VerifyOutcome& outcome) {
  for (std::size_t i = static_cast<std::size_t>(outcome.devicesChecked); i < m_batch.devices.size();
       ++i)
    m_report.AddUnchecked(m_batch.devices[i]);
  if (const auto offset = CommonDifferingOffset(m_differingAt, outcome.devicesChecked)) {
    JsonLine note = Note("wrong_image", WrongImageText(*offset));
    PrintJson(note.Add("offset", *offset));
  }
}

JsonLine VerifySummaryEvent(const VerifySummary& summary) {
  const VerifyOutcome& outcome = summary.outcome;
  JsonLine event;
  event.Add("event", "summary").Add("result", summary.result);
  if (summary.batch) {
    const auto devices = static_cast<std::int64_t>(summary.batch->devices.size());
    event.Add("devices", devices).Add("unchecked", devices - outcome.devicesChecked);
  } else {
    event.AddNull("devices").AddNull("unchecked");
  }
  event.Add("checked", outcome.devicesChecked)
      .Add("exact", outcome.devicesExact)
      .Add("failed", outcome.devicesFailed)
      .Add("duplicate_files", outcome.duplicateFiles)
      .Add("other_files", outcome.otherFiles)
      .Add("other_files_allowed", summary.otherFilesAllowed)
      .Add("folder_listed", outcome.folderListed)
      .Add("folder", summary.folder);
  if (summary.report)
    event.Add("report", *summary.report).Add("report_saved", summary.reportSaved);
  else
    event.AddNull("report").AddNull("report_saved");
  if (!summary.message.empty())
    event.Add("message", summary.message);
  return event.Add("exit_status", summary.exitStatus);
}

}  // namespace quillmark::cli
