#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmark::ledger {

// The SHA-256 of the bytes as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size);

// The same digest by the portable code alone, and whether Sha256Hex uses
// the processor's SHA extensions instead: the tests hold the two together.
std::string PortableSha256Hex(const std::uint8_t* bytes, std::size_t size);
bool Sha256UsesProcessorExtensions();

}  // namespace quillmark::ledger
