// The ledger's steps in a build without the MAC ledger (Windows: SQLite
// and libpq are not built for it). A run that asks for a ledger is
// refused: writing a batch it would not record could hand out its
// addresses twice.
#include "batch_ledger.h"

namespace quillmark {

LedgerAnswer BatchLedger::Open(const LedgerRequest& request) {
  if (!request.use)
    return {};
  return {false,
          "此版本不含MAC账本，无法记录本批：请去掉 --ledger（或环境变量 "
          "QUILLMARK_LEDGER），或加 --no-ledger"};
}

LedgerAnswer BatchLedger::Check(GenerationJob&) {
  return {};
}

LedgerAnswer BatchLedger::PlanNextFree(GenerationJob&) {
  return {};
}

LedgerAnswer BatchLedger::Reserve(GenerationJob&) {
  return {};
}

std::string BatchLedger::RecordOutcome(const BatchOutcome&) {
  return "";
}

BatchLedger::VoidAnswer BatchLedger::VoidedDuringWrite() {
  return {};
}

}  // namespace quillmark
