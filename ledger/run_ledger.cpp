#include "run_ledger.h"

#include <filesystem>
#include <utility>

#include "interface_text.h"
#include "ledger_texts.h"
#include "mac_number.h"
#include "serial_series.h"
#include "sha256.h"

namespace quillmark::ledger {
namespace {

// The folder as an absolute path, so the record says where the images
// went whatever the working directory was.
std::string RecordedFolder(const std::string& folder) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(folder, error);
  return error ? folder : absolute.lexically_normal().string();
}

}  // namespace

Result<RunLedger> RunLedger::Open(const RunLedgerSettings& settings) {
  Result<std::unique_ptr<Ledger>> ledger = OpenLedger(settings.location);
  if (!ledger)
    return ledger.error();
  std::string station = settings.station.empty() ? DefaultStationName() : settings.station;
  return RunLedger(std::move(ledger.value()), settings, std::move(station));
}

RunLedger::RunLedger(std::unique_ptr<Ledger> ledger, RunLedgerSettings settings,
                     std::string station)
    : m_ledger(std::move(ledger)), m_settings(std::move(settings)), m_station(std::move(station)) {}

BatchRequest RunLedger::Request(const GenerationJob& job) {
  // Taken before the writer puts any device's addresses into the bytes.
  if (m_digest.empty() && job.imageBytes)
    m_digest = Sha256Hex(job.imageBytes.get(), static_cast<std::size_t>(job.imageSize));
  BatchRequest request;
  if (!m_settings.nextFree)
    request.firstMac = MacNumber(job.startMac);
  request.deviceCount = job.deviceCount;
  request.macsPerDevice = job.macsPerDevice;
  request.pool = m_settings.pool;
  request.station = m_station;
  request.imageSha256 = m_digest;
  request.outputFolder = RecordedFolder(job.outputDirectory);
  request.rerunBatch = m_settings.rerunBatch;
  request.lot = m_settings.lot;
  request.rerunReason = m_settings.rerunReason;
  request.series = m_settings.series;
  return request;
}

Result<Reservation> RunLedger::Check(const GenerationJob& job) {
  return m_ledger->Check(Request(job));
}

Result<Reservation> RunLedger::Reserve(const GenerationJob& job) {
  Result<Reservation> reserved = m_ledger->Reserve(Request(job));
  if (reserved) {
    m_batchId = reserved->batchId;
    m_writeId = reserved->writeId;
  }
  return reserved;
}

Status RunLedger::RecordOutcome(const BatchOutcome& outcome) {
  return m_ledger->RecordOutcome(m_writeId, OutcomeOf(outcome));
}

std::string RunLedger::FinishingHint(const LedgerError& refusal) {
  if (refusal.fault != LedgerFault::Overlap || !refusal.batch || refusal.batch->voided)
    return "";
  Result<std::vector<BatchDetails>> found =
      m_ledger->Batches(BatchFilter{refusal.batch->id, "", ""});
  if (!found || found->empty())
    return "";
  const BatchDetails& details = found->front();
  if (details.writes.empty() || details.writes.back().ending != Ending::Stopped ||
      details.writes.front().imageSha256 != m_digest)
    return "";
  return StoppedBatchHint(details, m_station);
}

Result<std::optional<BatchSummary>> RunLedger::VoidedBatch() {
  Result<std::vector<BatchDetails>> batch = m_ledger->Batches(BatchFilter{m_batchId, "", ""});
  if (!batch)
    return batch.error();
  if (batch->empty() || !batch->front().batch.voided)
    return std::optional<BatchSummary>();
  return std::optional<BatchSummary>(batch->front().batch);
}

std::string ReservationText(const Reservation& reservation) {
  const std::string macs = reservation.pool.empty()
                               ? RangeText(reservation.macs)
                               : Fill({"%1（地址池 %2）", "%1 (pool %2)"},
                                      {RangeText(reservation.macs), reservation.pool});
  const std::string serials = SerialRangeText(reservation.serials, reservation.deviceCount);
  const std::string range =
      serials.empty() ? macs : macs + std::string(Pick({"，", ", "})) + serials;
  const std::string id = std::to_string(reservation.batchId);
  if (reservation.rewrite)
    return Fill(
        {"账本已记录：批次 %1 的又一次写入，%2", "Ledger recorded: another write of batch %1, %2"},
        {id, range});
  return Fill({"账本已记录：新批次 %1，%2", "Ledger recorded: new batch %1, %2"}, {id, range});
}

WriteOutcome OutcomeOf(const BatchOutcome& outcome) {
  WriteOutcome recorded;
  recorded.devicesWritten = outcome.devicesWritten;
  recorded.devicesFailed = outcome.devicesFailed;
  recorded.stopped = outcome.stopped;
  recorded.finished = outcome.finished;
  return recorded;
}

}  // namespace quillmark::ledger
