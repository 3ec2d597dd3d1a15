#include <cstdlib>

#include "batch_ledger.h"

namespace quillmark {

std::optional<std::string> ConfiguredLedgerLocation(const StationConfig& config) {
  const char* named = std::getenv("QUILLMARK_LEDGER");
  if (named == nullptr || *named == '\0')
    return config.ledger;
  return std::string(named);
}

}  // namespace quillmark
