#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "batch_writer.h"
#include "job_acceptance.h"
#include "json_line.h"
#include "mac_address.h"

namespace quillmark::cli {

// A device's event: its place in the batch (from 1), its file name, its
// addresses and what became of it ("written", "failed", "planned").
JsonLine DeviceEvent(std::int32_t index, const MacAddress& first, std::int32_t macsPerDevice,
                     const char* status);

// Runs the batch writer for --json: one device event on standard output
// as each device is done, a failed device's with the failure's kind and
// text. The devices whose files were written are kept for the manifest.
class JsonRunHost final : public BatchHost {
 public:
  explicit JsonRunHost(std::int32_t macsPerDevice) : m_macsPerDevice(macsPerDevice) {}

  void SetStatus(StatusKind kind, std::string text) override;
  void OnRunFinished(bool finished) override;
  bool StopRequested() override;
  void OnDeviceDone(const MacAddress& firstAddress, bool written) override;

  const std::vector<MacAddress>& WrittenDevices() const { return m_written; }

 private:
  void FlushFailed(const char* error, const std::string& message);

  std::int32_t m_macsPerDevice;
  std::int32_t m_index = 0;
  std::vector<MacAddress> m_written;
  // The writer says a device failed first and why just after.
  std::optional<MacAddress> m_failed;
  std::string m_lastFailure;  // the writer repeats the last one at the end
};

// What the summary of a write or a dry run says.
struct WriteSummary {
  const char* result = "";             // finished, stopped, failed, refused, planned
  const GenerationJob* job = nullptr;  // accepted: the batch's devices and range
  BatchOutcome outcome = {};
  std::string folder = {};
  std::optional<std::string> manifest = {};  // given with --manifest
  bool manifestSaved = false;
  bool ledger = false;
  std::optional<std::int64_t> batchId = {};
  std::string message = {};  // a refusal's text
  int exitStatus = 0;
};

JsonLine WriteSummaryEvent(const WriteSummary& summary);

// Prints one JSON line on standard output; false when it did not all arrive.
bool PrintJson(const JsonLine& line);

}  // namespace quillmark::cli
