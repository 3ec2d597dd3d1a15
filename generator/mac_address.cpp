#include "mac_address.h"

#include <cstdio>

#include "text_scan.h"

namespace quillmark {
namespace {

int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// One field of two character places: white space, an optional "+" (which
// uses a place), an optional "0x"/"0X" (which uses none), then as many hex
// digits as places remain. Returns false when no digit was read.
bool ReadOctetField(std::string_view text, std::size_t& pos, std::int32_t& octet) {
  pos = SkipCSpace(text, pos);
  int places = 2;
  if (pos < text.size() && text[pos] == '+') {
    ++pos;
    --places;
  }
  if (pos + 1 < text.size() && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
    pos += 2;
  }
  int value = 0;
  int digits = 0;
  while (digits < places && pos < text.size()) {
    const int digit = HexDigitValue(text[pos]);
    if (digit < 0)
      break;
    value = value * 16 + digit;
    ++digits;
    ++pos;
  }
  if (digits == 0)
    return false;
  octet = value;
  return true;
}

}  // namespace

std::optional<MacAddress> MacAddress::Parse(std::string_view text) {
  MacAddress address;
  std::size_t pos = 0;
  for (std::size_t field = 0; field < address.octets.size(); ++field) {
    if (field > 0) {
      if (pos >= text.size() || text[pos] != ':')
        return std::nullopt;
      ++pos;
    }
    if (!ReadOctetField(text, pos, address.octets[field]))
      return std::nullopt;
  }
  return address;
}

std::optional<MacAddress> MacAddress::ParseExact(std::string_view text) {
  constexpr std::size_t kExactLength = 17;  // "04:57:55:00:00:00"
  if (text.size() != kExactLength)
    return std::nullopt;
  MacAddress address;
  for (std::size_t field = 0; field < address.octets.size(); ++field) {
    const std::size_t at = field * 3;
    if (field > 0 && text[at - 1] != ':')
      return std::nullopt;
    const int high = HexDigitValue(text[at]);
    const int low = HexDigitValue(text[at + 1]);
    if (high < 0 || low < 0)
      return std::nullopt;
    address.octets[field] = high * 16 + low;
  }
  return address;
}

bool MacAddress::IsValidStart() const {
  const bool individualAndUniversal = (octets[0] & 3) == 0;
  const bool reservedBlock = octets[1] == 0xff && octets[2] == 0xff;
  return individualAndUniversal && !reservedBlock;
}

void MacAddress::Increment() {
  ++octets[5];
  for (std::size_t i = 5; i > 0 && octets[i] > 0xff; --i) {
    octets[i] = 0;
    ++octets[i - 1];
  }
  if (octets[0] > 0xff)
    octets[0] = 0;
}

std::string MacAddress::ToColonText() const {
  char text[18];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", unsigned(octets[0]),
                unsigned(octets[1]), unsigned(octets[2]), unsigned(octets[3]), unsigned(octets[4]),
                unsigned(octets[5]));
  return text;
}

std::string MacAddress::ToFileName() const {
  char text[21];
  std::snprintf(text, sizeof text, "fw_%02x%02x%02x_%02x%02x%02x.img", unsigned(octets[0]),
                unsigned(octets[1]), unsigned(octets[2]), unsigned(octets[3]), unsigned(octets[4]),
                unsigned(octets[5]));
  return text;
}

}  // namespace quillmark
