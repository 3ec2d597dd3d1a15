// Any bytes as a start-address text: the parser agrees with a reference
// reading written straight from the address rules, and every address it
// yields survives the colon text round trip, steps like a 48-bit number
// and names its file consistently.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_check.h"
#include "mac_address.h"

namespace quillmark::fuzz {
namespace {

using Octets = std::array<std::int32_t, 6>;

bool IsWhiteSpace(char c) {
  return std::string_view(" \t\n\v\f\r").find(c) != std::string_view::npos;
}

int HexValue(char c) {
  constexpr std::string_view kDigits = "0123456789abcdefABCDEF";
  const std::size_t at = kDigits.find(c);
  if (at == std::string_view::npos)
    return -1;
  return static_cast<int>(at < 16 ? at : at - 6);
}

// Six fields of two places, joined by colons: white space before a field,
// "+" using one place, "0x" using none, then hex digits for the places
// left. The first failing field fails it all; the tail is ignored.
std::optional<Octets> ReferenceParse(std::string_view text) {
  Octets octets{};
  std::size_t i = 0;
  for (int field = 0; field < 6; ++field) {
    if (field > 0) {
      if (i >= text.size() || text[i] != ':')
        return std::nullopt;
      ++i;
    }
    while (i < text.size() && IsWhiteSpace(text[i]))
      ++i;
    int places = 2;
    if (i < text.size() && text[i] == '+') {
      ++i;
      places = 1;
    }
    if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X'))
      i += 2;
    int digits = 0;
    int value = 0;
    for (; digits < places && i < text.size() && HexValue(text[i]) >= 0; ++digits, ++i)
      value = value * 16 + HexValue(text[i]);
    if (digits == 0)
      return std::nullopt;
    octets[field] = value;
  }
  return octets;
}

std::uint64_t AsNumber(const MacAddress& address) {
  std::uint64_t number = 0;
  for (std::int32_t octet : address.octets)
    number = number << 8 | static_cast<std::uint64_t>(octet);
  return number;
}

void CheckTextForms(const MacAddress& address) {
  const std::string colon = address.ToColonText();
  Require(colon.size() == 17, "the colon text has 17 characters");
  for (std::size_t i = 0; i < colon.size(); ++i) {
    const bool separator = i % 3 == 2;
    Require(separator
                ? colon[i] == ':'
                : std::string_view("0123456789abcdef").find(colon[i]) != std::string_view::npos,
            "the colon text is lower-case hex pairs joined by colons");
  }
  const std::optional<MacAddress> again = MacAddress::Parse(colon);
  Require(again && *again == address, "the colon text parses back to the same address");
  const std::optional<MacAddress> exact = MacAddress::ParseExact(colon);
  Require(exact && *exact == address, "the colon text is what the ledger's reading takes");

  const std::string expectedName = "fw_" + colon.substr(0, 2) + colon.substr(3, 2) +
                                   colon.substr(6, 2) + "_" + colon.substr(9, 2) +
                                   colon.substr(12, 2) + colon.substr(15, 2) + ".img";
  Require(address.ToFileName() == expectedName, "the file name carries the six octets");
}

}  // namespace
}  // namespace quillmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::Require;
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::optional<MacAddress> parsed = MacAddress::Parse(text);
  const std::optional<fuzz::Octets> expected = fuzz::ReferenceParse(text);
  Require(parsed.has_value() == expected.has_value(), "parse succeeds exactly as the rules say");
  // The ledger's own reading takes only the colon text (in either case),
  // and reads it as the lenient one does.
  if (const std::optional<MacAddress> exact = MacAddress::ParseExact(text); exact) {
    Require(text.size() == 17, "an exact address is 17 characters");
    Require(parsed && *parsed == *exact, "an exact address reads the same leniently");
  }
  if (!parsed)
    return 0;
  Require(parsed->octets == *expected, "parse reads the octets the rules give");
  for (std::int32_t octet : parsed->octets)
    Require(octet >= 0 && octet <= 255, "every parsed octet is 0..255");

  const MacAddress& start = *parsed;
  const bool ruleHolds =
      (start.octets[0] & 3) == 0 && !(start.octets[1] == 255 && start.octets[2] == 255);
  Require(start.IsValidStart() == ruleHolds, "start rules: unicast, universal, not ff:ff");
  fuzz::CheckTextForms(start);

  MacAddress next = start;
  next.Increment();
  Require(fuzz::AsNumber(next) == ((fuzz::AsNumber(start) + 1) & 0xFFFFFFFFFFFFull),
          "increment adds one to the 48-bit number");
  for (std::int32_t octet : next.octets)
    Require(octet >= 0 && octet <= 255, "every incremented octet is 0..255");
  fuzz::CheckTextForms(next);
  return 0;
}
