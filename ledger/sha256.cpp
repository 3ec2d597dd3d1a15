#include "sha256.h"

#include <openssl/evp.h>

#include <array>

namespace quillmark::ledger {

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size) {
  std::array<unsigned char, EVP_MAX_MD_SIZE> digest{};
  unsigned int length = 0;
  if (EVP_Digest(bytes, size, digest.data(), &length, EVP_sha256(), nullptr) != 1)
    return {};
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned int i = 0; i < length; ++i) {
    hex += kDigits[digest[i] >> 4];
    hex += kDigits[digest[i] & 0xf];
  }
  return hex;
}

}  // namespace quillmark::ledger
