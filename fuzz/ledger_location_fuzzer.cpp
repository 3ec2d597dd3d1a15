// Any bytes as a ledger location, as an operator or a script types it:
// the parser names a fault or gives a location whose connection string is
// the text as given, and what it would show of it can be made.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "ledger_location.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::Require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const ledger::Result<ledger::LedgerLocation> location = ledger::ParseLedgerLocation(text);
  if (!location) {
    Require(!location.error().message.empty(), "a refusal says why");
    return 0;
  }
  if (location->kind == ledger::LedgerKind::PostgreSQL)
    Require(location->target == text, "a connection string is kept as given");
  // Showing it must not fault, whatever the text (escapes may lengthen it).
  static_cast<void>(location->Display());
  return 0;
}
