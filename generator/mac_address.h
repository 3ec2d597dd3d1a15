#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillmark {

// One MAC address as six octets, octet 1 (the most significant) first.
struct MacAddress {
  std::array<std::int32_t, 6> octets{};

  // Reads "xx:xx:xx:xx:xx:xx" as the tool has always read it: one-digit
  // fields, white space after a colon, a "+" taking a digit's place and a
  // "0x" prefix taking none; text after the sixth field is ignored.
  static std::optional<MacAddress> Parse(std::string_view text);
  // Reads exactly "xx:xx:xx:xx:xx:xx": six fields of two hex digits,
  // nothing before, between or after. What the ledger's own commands take,
  // since a range recorded from a misread address cannot be taken back.
  static std::optional<MacAddress> ParseExact(std::string_view text);

  // A batch may not start at a group or locally administered address, nor
  // where octets 2 and 3 are both ff.
  bool IsValidStart() const;

  // Adds one, as a 48-bit number that wraps to zero.
  void Increment();

  std::string ToColonText() const;  // "04:57:55:00:00:00"
  std::string ToFileName() const;   // "fw_045755_000000.img"

  friend bool operator==(const MacAddress&, const MacAddress&) = default;
};

}  // namespace quillmark
