#include "mac_number.h"

#include "interface_text.h"

namespace quillmark::ledger {

std::uint64_t MacNumber(const MacAddress& address) {
  std::uint64_t number = 0;
  for (const std::int32_t octet : address.octets)
    number = (number << 8) | (static_cast<std::uint64_t>(octet) & 0xff);
  return number;
}

MacAddress MacFromNumber(std::uint64_t number) {
  MacAddress address;
  for (int i = 5; i >= 0; --i) {
    address.octets[i] = static_cast<std::int32_t>(number & 0xff);
    number >>= 8;
  }
  return address;
}

std::string MacText(std::uint64_t number) {
  return MacFromNumber(number).ToColonText();
}

std::string RangeText(const MacRange& range) {
  return Fill({"%1 至 %2", "%1 to %2"}, {MacText(range.first), MacText(range.last())});
}

}  // namespace quillmark::ledger
