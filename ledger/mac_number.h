#pragma once

#include <cstdint>
#include <string>

#include "ledger_types.h"
#include "mac_address.h"

namespace quillmark::ledger {

// A MAC address as the 48-bit number the ledger stores, and back.
std::uint64_t MacNumber(const MacAddress& address);
MacAddress MacFromNumber(std::uint64_t number);

// "04:57:55:00:00:00"
std::string MacText(std::uint64_t number);
// "04:57:55:00:00:00 至 04:57:55:00:00:fe": first and last address.
std::string RangeText(const MacRange& range);

}  // namespace quillmark::ledger
