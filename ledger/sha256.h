#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillmark::ledger {

// The SHA-256 of the bytes as 64 lower-case hexadecimal digits (the
// system's crypto library does the work).
std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size);

}  // namespace quillmark::ledger
