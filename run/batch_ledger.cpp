#include "batch_ledger.h"

#include "interface_text.h"
#include "ledger_listing.h"
#include "ledger_texts.h"
#include "mac_number.h"

namespace quillmark {
namespace {

using namespace ledger;

LedgerAnswer Refused(const LedgerError& error, std::string detail = {}) {
  return {false, error.message, std::move(detail)};
}

}  // namespace

LedgerAnswer BatchLedger::Open(const LedgerRequest& request) {
  if (!request.use)
    return {};
  Result<LedgerLocation> location = ParseLedgerLocation(request.location);
  if (!location)
    return Refused(location.error());
  Result<RunLedger> opened = RunLedger::Open(
      RunLedgerSettings{location.value(), request.station, request.pool, request.nextFree,
                        request.rerunBatch, request.lot, request.rerunReason, request.series});
  if (!opened)
    return Refused(opened.error());
  m_ledger.emplace(std::move(opened.value()));
  m_nextFree = request.nextFree;
  return {};
}

LedgerAnswer BatchLedger::Check(GenerationJob& job) {
  if (!m_ledger)
    return {};
  Result<Reservation> verdict = m_ledger->Check(job);
  if (!verdict)
    return Refused(verdict.error(), m_ledger->FinishingHint(verdict.error()));
  if (m_nextFree)
    job.startMac = MacFromNumber(verdict->macs.first);
  m_batchId = verdict->batchId;
  std::string line = CheckText(verdict.value());
  if (!line.empty() && line.back() == '\n')
    line.pop_back();
  return {true, line};
}

LedgerAnswer BatchLedger::PlanNextFree(GenerationJob& job) {
  if (!m_ledger || !m_nextFree)
    return {};
  Result<Reservation> verdict = m_ledger->Check(job);
  if (!verdict)
    return Refused(verdict.error());
  job.startMac = MacFromNumber(verdict->macs.first);
  return {};
}

LedgerAnswer BatchLedger::Reserve(GenerationJob& job) {
  if (!m_ledger)
    return {};
  Result<Reservation> reserved = m_ledger->Reserve(job);
  if (!reserved)
    return Refused(reserved.error(), m_ledger->FinishingHint(reserved.error()));
  m_reserved = true;
  m_batchId = reserved->batchId;
  m_wasReserved = true;
  if (m_nextFree)
    job.startMac = MacFromNumber(reserved->macs.first);
  return {true, ReservationText(reserved.value())};
}

std::string BatchLedger::RecordOutcome(const BatchOutcome& outcome) {
  if (!m_ledger || !m_reserved)
    return "";
  m_reserved = false;
  if (Status recorded = m_ledger->RecordOutcome(outcome); !recorded)
    return OutcomeNotRecordedText(recorded.error());
  return "";
}

BatchLedger::VoidAnswer BatchLedger::VoidedDuringWrite() {
  if (!m_ledger || !m_wasReserved)
    return {};
  Result<std::optional<BatchSummary>> voided = m_ledger->VoidedBatch();
  if (!voided)
    return {false, VoidUnknownText(voided.error())};
  if (!voided.value())
    return {};
  return {true, VoidedDuringWriteText(*voided.value())};
}

}  // namespace quillmark
