// The write command's ledger steps in a build without the MAC ledger
// (Windows: SQLite and libpq are not built for it). A run that asks for a
// ledger is refused: writing a batch it would not record could hand out
// its addresses twice.
#include "console_text.h"
#include "write_ledger.h"

namespace quillmark::cli {

JobRequestTexts AcceptanceTexts(const WriteOptions& options) {
  return options.texts;
}

bool WriteLedger::Open(const WriteOptions& options) {
  if (!options.useLedger)
    return true;
  WriteText(stderr,
            "此版本不含MAC账本，无法记录本批：请去掉 --ledger（或环境变量 "
            "QUILLMARK_LEDGER），或加 --no-ledger\n");
  return false;
}

bool WriteLedger::Check(GenerationJob&) {
  return true;
}

bool WriteLedger::PlanNextFree(GenerationJob&) {
  return true;
}

bool WriteLedger::Reserve(GenerationJob&, bool) {
  return true;
}

void WriteLedger::RecordOutcome(const BatchOutcome&) {}

}  // namespace quillmark::cli
