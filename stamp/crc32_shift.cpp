#include "crc32_shift.h"

namespace quillmark {
namespace {

using Columns = std::array<std::uint32_t, 32>;

constexpr std::uint32_t kPolynomial = 0xEDB88320u;

std::uint32_t Times(const Columns& op, std::uint32_t value) {
  std::uint32_t result = 0;
  for (int bit = 0; value != 0; ++bit, value >>= 1) {
    if (value & 1)
      result ^= op[static_cast<std::size_t>(bit)];
  }
  return result;
}

Columns After(const Columns& second, const Columns& first) {
  Columns both{};
  for (std::size_t bit = 0; bit < 32; ++bit)
    both[bit] = Times(second, first[bit]);
  return both;
}

}  // namespace

Crc32ZeroShift::Crc32ZeroShift(std::uint64_t zeroBytes) {
  Columns oneByte{};
  for (std::size_t bit = 0; bit < 32; ++bit) {
    std::uint32_t value = 1u << bit;
    for (int step = 0; step < 8; ++step)
      value = (value & 1) ? (value >> 1) ^ kPolynomial : value >> 1;
    oneByte[bit] = value;
  }
  for (std::size_t bit = 0; bit < 32; ++bit)
    m_columns[bit] = 1u << bit;
  // Powers of one operator commute, so squaring and multiplying in any
  // order gives the shift by zeroBytes.
  for (Columns power = oneByte; zeroBytes != 0; zeroBytes >>= 1) {
    if (zeroBytes & 1)
      m_columns = After(power, m_columns);
    if (zeroBytes > 1)
      power = After(power, power);
  }
}

std::uint32_t Crc32ZeroShift::Apply(std::uint32_t crcRegister) const {
  return Times(m_columns, crcRegister);
}

std::uint32_t Crc32Register(std::uint32_t crcRegister, const std::uint8_t* bytes,
                            std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    crcRegister ^= bytes[i];
    for (int step = 0; step < 8; ++step)
      crcRegister = (crcRegister & 1) ? (crcRegister >> 1) ^ kPolynomial : crcRegister >> 1;
  }
  return crcRegister;
}

}  // namespace quillmark
