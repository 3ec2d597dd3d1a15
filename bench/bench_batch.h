#pragma once

// What the plain writers of the benchmark share: the size of an image's
// address block and the start address on their command lines.

#include <cstdint>
#include <cstdlib>

namespace quillmark::bench {

inline constexpr std::uint64_t kMacBlock = 0x10000;

// "04:57:55:00:00:00" as a 48-bit number; false when it is not six
// hexadecimal octets separated by colons.
inline bool ParseMac(const char* text, std::uint64_t& mac) {
  mac = 0;
  for (int i = 0; i < 6; ++i) {
    char* end = nullptr;
    const unsigned long octet = std::strtoul(text, &end, 16);
    if (end == text || octet > 0xff || (i < 5 && *end != ':'))
      return false;
    mac = (mac << 8) | octet;
    text = end + 1;
  }
  return true;
}

}  // namespace quillmark::bench
