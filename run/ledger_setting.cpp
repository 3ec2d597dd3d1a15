#include <cstdlib>

#include "batch_ledger.h"

namespace quillmark {

std::optional<std::string> ConfiguredLedgerLocation() {
  const char* named = std::getenv("QUILLMARK_LEDGER");
  if (named == nullptr || *named == '\0')
    return std::nullopt;
  return std::string(named);
}

}  // namespace quillmark
