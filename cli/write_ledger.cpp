#include "write_ledger.h"

#include <cstdio>

#include "ledger_listing.h"
#include "mac_number.h"
#include "utf8_text.h"

namespace quillmark::cli {
namespace {

using namespace ledger;

bool Refused(const LedgerError& error) {
  std::fprintf(stderr, "%s\n", ToValidUtf8(error.message).c_str());
  std::fflush(stderr);
  return false;
}

void Say(std::FILE* stream, const std::string& line) {
  std::fputs(ToValidUtf8(line).c_str(), stream);
  std::fflush(stream);
}

}  // namespace

JobRequestTexts AcceptanceTexts(const WriteOptions& options) {
  JobRequestTexts texts = options.texts;
  if (options.NextFreeStart())
    texts.startMac = "00:00:00:00:00:00";
  return texts;
}

bool WriteLedger::Open(const WriteOptions& options) {
  if (!options.useLedger)
    return true;
  Result<LedgerLocation> location = ParseLedgerLocation(options.ledgerLocation);
  if (!location)
    return Refused(location.error());
  Result<RunLedger> opened = RunLedger::Open(
      RunLedgerSettings{location.value(), options.station, options.pool, options.NextFreeStart()});
  if (!opened)
    return Refused(opened.error());
  m_ledger.emplace(std::move(opened.value()));
  m_nextFree = options.NextFreeStart();
  return true;
}

bool WriteLedger::Check(GenerationJob& job) {
  if (!m_ledger)
    return true;
  Result<Reservation> verdict = m_ledger->Check(job);
  if (!verdict)
    return Refused(verdict.error());
  if (m_nextFree)
    job.startMac = MacFromNumber(verdict->macs.first);
  Say(stderr, CheckText(verdict.value()));
  return true;
}

bool WriteLedger::PlanNextFree(GenerationJob& job) {
  if (!m_ledger || !m_nextFree)
    return true;
  Result<Reservation> verdict = m_ledger->Check(job);
  if (!verdict)
    return Refused(verdict.error());
  job.startMac = MacFromNumber(verdict->macs.first);
  return true;
}

bool WriteLedger::Reserve(GenerationJob& job, bool quiet) {
  if (!m_ledger)
    return true;
  Result<Reservation> reserved = m_ledger->Reserve(job);
  if (!reserved)
    return Refused(reserved.error());
  m_reserved = true;
  if (m_nextFree)
    job.startMac = MacFromNumber(reserved->macs.first);
  if (!quiet || m_nextFree)
    Say(stdout, ReservationText(reserved.value()) + "\n");
  return true;
}

void WriteLedger::RecordOutcome(const BatchOutcome& outcome) {
  if (!m_ledger || !m_reserved)
    return;
  m_reserved = false;
  if (Status recorded = m_ledger->RecordOutcome(outcome); !recorded)
    Say(stderr, "账本未能记录本次运行的结果！" + recorded.error().message + "\n");
}

}  // namespace quillmark::cli
