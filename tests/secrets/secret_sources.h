#pragma once

#include <cstdint>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "secret_source.h"

namespace quillmark::test {

// Gives the bytes it was made with, in order, and fails once they run out:
// a test sees exactly which bytes became which value, and that no more
// were asked for than needed.
class FixedBytes final : public secrets::SecretSource {
 public:
  explicit FixedBytes(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  std::string Read(std::span<std::uint8_t> out) override {
    if (out.size() > m_bytes.size() - m_at)
      return "the fixed bytes ran out";
    for (std::uint8_t& byte : out)
      byte = m_bytes[m_at++];
    return "";
  }
  std::size_t left() const { return m_bytes.size() - m_at; }

 private:
  std::vector<std::uint8_t> m_bytes;
  std::size_t m_at = 0;
};

// A fixed stream of well-mixed bytes (the standard's Mersenne twister,
// whose output every library gives alike): a statistical test over it
// has one outcome, forever, so it tests the mapping and cannot fail by
// chance.
class SeededBytes final : public secrets::SecretSource {
 public:
  explicit SeededBytes(std::uint64_t seed) : m_engine(seed) {}
  std::string Read(std::span<std::uint8_t> out) override {
    for (std::uint8_t& byte : out)
      byte = static_cast<std::uint8_t>(m_engine() >> 56);
    return "";
  }

 private:
  std::mt19937_64 m_engine;
};

}  // namespace quillmark::test
