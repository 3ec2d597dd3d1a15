#include "json_run.h"

#include <cstdio>

#include "batch_manifest.h"
#include "console_text.h"
#include "signals.h"

namespace quillmark::cli {
namespace {

std::vector<std::string> AddressTexts(const MacAddress& first, std::int32_t macsPerDevice) {
  std::vector<std::string> texts;
  for (const MacAddress& address : DeviceAddresses(first, macsPerDevice))
    texts.push_back(address.ToColonText());
  return texts;
}

MacAddress LastAddress(const GenerationJob& job) {
  MacAddress last = job.startMac;
  const std::int64_t steps = std::int64_t{job.deviceCount} * job.macsPerDevice - 1;
  for (std::int64_t i = 0; i < steps; ++i)
    last.Increment();
  return last;
}

const char* ErrorOf(StatusKind kind) {
  return kind == StatusKind::CreationFailed ? "creation_failed" : "write_failed";
}

}  // namespace

JsonLine DeviceEvent(std::int32_t index, const MacAddress& first, std::int32_t macsPerDevice,
                     const char* status) {
  JsonLine event;
  event.Add("event", "device")
      .Add("index", index)
      .Add("file", first.ToFileName())
      .Add("macs", AddressTexts(first, macsPerDevice))
      .Add("status", status);
  return event;
}

void JsonRunHost::SetStatus(StatusKind kind, std::string text) {
  if (kind == StatusKind::Saving)
    return;
  if (m_failed) {
    FlushFailed(ErrorOf(kind), text);
  } else if (text != m_lastFailure) {
    // No device's: the folder could not be synced at the end (--durable).
    JsonLine event;
    event.Add("event", "folder").Add("status", "failed").Add("error", ErrorOf(kind));
    PrintJson(event.Add("message", text));
  }
  m_lastFailure = std::move(text);
}

void JsonRunHost::OnRunFinished(bool) {
  if (m_failed)
    FlushFailed("write_failed", "");
}

bool JsonRunHost::StopRequested() {
  return StopSignal() != 0;
}

void JsonRunHost::OnDeviceDone(const MacAddress& firstAddress, bool written) {
  if (m_failed)
    FlushFailed("write_failed", "");
  ++m_index;
  if (!written) {
    m_failed = firstAddress;
    return;
  }
  m_written.push_back(firstAddress);
  PrintJson(DeviceEvent(m_index, firstAddress, m_macsPerDevice, "written"));
}

void JsonRunHost::FlushFailed(const char* error, const std::string& message) {
  JsonLine event = DeviceEvent(m_index, *m_failed, m_macsPerDevice, "failed");
  event.Add("error", error);
  event.AddOrNull("message", message);
  m_failed.reset();
  PrintJson(event);
}

JsonLine WriteSummaryEvent(const WriteSummary& summary) {
  JsonLine event;
  event.Add("event", "summary").Add("result", summary.result);
  if (summary.job) {
    const GenerationJob& job = *summary.job;
    event.Add("devices", job.deviceCount)
        .Add("macs_per_device", job.macsPerDevice)
        .Add("first_mac", job.startMac.ToColonText())
        .Add("last_mac", LastAddress(job).ToColonText());
  } else {
    event.AddNull("devices").AddNull("macs_per_device").AddNull("first_mac").AddNull("last_mac");
  }
  const BatchOutcome& outcome = summary.outcome;
  event.Add("written", outcome.devicesWritten)
      .Add("failed", outcome.devicesFailed)
      .Add("not_reached", outcome.devicesNotReached)
      .Add("folder", summary.folder);
  if (summary.manifest)
    event.Add("manifest", *summary.manifest).Add("manifest_saved", summary.manifestSaved);
  else
    event.AddNull("manifest").AddNull("manifest_saved");
  event.Add("ledger", summary.ledger).AddOrNull("batch_id", summary.batchId);
  if (!summary.message.empty())
    event.Add("message", summary.message);
  return event.Add("exit_status", summary.exitStatus);
}

bool PrintJson(const JsonLine& line) {
  return WriteText(stdout, line.Line());
}

}  // namespace quillmark::cli
