#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

#include "batch_verifier.h"
#include "json_line.h"
#include "verify_report.h"

namespace quillmark::cli {

// A verification for --json: one event on standard output per device as
// it is checked and per file found beside the batch, the notes as events
// of their own, and the report's rows kept as the text host keeps them.
class VerifyJsonHost final : public VerifyHost {
 public:
  explicit VerifyJsonHost(const ExpectedBatch& batch) : m_batch(batch) {}

  void OnDeviceChecked(const DeviceResult& result) override;
  void OnFolderScanned(const FolderScan& scan) override;
  bool StopRequested() override;

  // The devices a stopped check did not reach go into the report, and the
  // note on a wrong image is printed; the summary is the caller's.
  void Finish(const VerifyOutcome& outcome);

  const VerifyReport& Report() const { return m_report; }

 private:
  const ExpectedBatch& m_batch;
  VerifyReport m_report;
  std::map<std::uint64_t, std::int32_t> m_differingAt;  // devices by first differing offset
};

struct VerifySummary {
  const char* result = "";               // passed, failed, stopped, refused
  const ExpectedBatch* batch = nullptr;  // accepted: the devices expected
  VerifyOutcome outcome = {};
  std::string folder = {};
  bool otherFilesAllowed = false;
  std::optional<std::string> report = {};  // given with --report
  bool reportSaved = false;
  std::string message = {};  // a refusal's text
  int exitStatus = 0;
};

JsonLine VerifySummaryEvent(const VerifySummary& summary);

}  // namespace quillmark::cli
