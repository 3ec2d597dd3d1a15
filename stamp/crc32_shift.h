#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace quillmark {

// CRC-32 is linear: for two messages of one length, their CRCs differ by
// the CRC register (started at zero, not inverted) of their XOR. A change
// to a few bytes of a long range therefore updates its CRC by running the
// register over the changed bytes alone and then over the zero bytes that
// follow them, which this operator does in one step.
class Crc32ZeroShift {
 public:
  explicit Crc32ZeroShift(std::uint64_t zeroBytes);
  // The register after zeroBytes more zero bytes.
  std::uint32_t Apply(std::uint32_t crcRegister) const;

 private:
  std::array<std::uint32_t, 32> m_columns{};  // the image of each register bit
};

// Runs a CRC-32 register (reflected 0xEDB88320) over bytes, without the
// inversions at start and end.
std::uint32_t Crc32Register(std::uint32_t crcRegister, const std::uint8_t* bytes, std::size_t size);

}  // namespace quillmark
