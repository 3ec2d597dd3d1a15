#include "dialog_ledger.h"

#include <cstdlib>

namespace quillmark {

DialogLedger ReserveInDialogLedger(const GenerationJob& job) {
  const char* named = std::getenv("QUILLMARK_LEDGER");
  if (named == nullptr || *named == '\0')
    return {};
  ledger::Result<ledger::LedgerLocation> location = ledger::ParseLedgerLocation(named);
  if (!location)
    return {nullptr, location.error().message};
  ledger::Result<ledger::RunLedger> opened =
      ledger::RunLedger::Open(ledger::RunLedgerSettings{location.value(), "", "", false});
  if (!opened)
    return {nullptr, opened.error().message};
  auto run = std::make_shared<ledger::RunLedger>(std::move(opened.value()));
  ledger::Result<ledger::Reservation> reserved = run->Reserve(job);
  if (!reserved)
    return {nullptr, reserved.error().message};
  return {std::move(run), ""};
}

std::string RecordDialogOutcome(ledger::RunLedger& ledger, const BatchOutcome& outcome) {
  ledger::Status recorded = ledger.RecordOutcome(outcome);
  return recorded ? "" : "账本未能记录本次运行的结果！" + recorded.error().message;
}

}  // namespace quillmark
