#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace quillmark::secrets {

// SHA-256 and SHA-512 (FIPS 180-4), fed in pieces: what SHA-512 crypt and
// HMAC need, portable to every build without a crypto library.
template <class Word, std::size_t Rounds, std::size_t DigestBytes>
class Sha2 {
 public:
  using Digest = std::array<std::uint8_t, DigestBytes>;
  static constexpr std::size_t kBlockBytes = 16 * sizeof(Word);

  Sha2();
  void Add(std::span<const std::uint8_t> bytes);
  void Add(std::string_view text) {
    Add(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
  }
  // The digest of all that was added; the object is spent afterwards.
  Digest Finish();

  static Digest Of(std::string_view text) {
    Sha2 hash;
    hash.Add(text);
    return hash.Finish();
  }

 private:
  void Compress(const std::uint8_t* block);

  std::array<Word, 8> m_state;
  std::array<std::uint8_t, kBlockBytes> m_block{};
  std::size_t m_used = 0;
  std::uint64_t m_total = 0;  // bytes added
};

using Sha256 = Sha2<std::uint32_t, 64, 32>;
using Sha512 = Sha2<std::uint64_t, 80, 64>;

extern template class Sha2<std::uint32_t, 64, 32>;
extern template class Sha2<std::uint64_t, 80, 64>;

// Lower-case hexadecimal digits of bytes.
std::string Hex(std::span<const std::uint8_t> bytes);

}  // namespace quillmark::secrets
