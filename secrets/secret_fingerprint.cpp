#include "secret_fingerprint.h"

#include <algorithm>

namespace quillmark::secrets {

Sha256::Digest HmacSha256(std::span<const std::uint8_t> key, std::string_view message) {
  std::array<std::uint8_t, Sha256::kBlockBytes> block{};
  if (key.size() > block.size()) {
    Sha256 shortened;
    shortened.Add(key);
    const Sha256::Digest digest = shortened.Finish();
    std::copy(digest.begin(), digest.end(), block.begin());
  } else {
    std::copy(key.begin(), key.end(), block.begin());
  }
  std::array<std::uint8_t, Sha256::kBlockBytes> pad;
  for (std::size_t i = 0; i < block.size(); ++i)
    pad[i] = block[i] ^ 0x36;
  Sha256 inner;
  inner.Add(pad);
  inner.Add(message);
  const Sha256::Digest innerDigest = inner.Finish();
  for (std::size_t i = 0; i < block.size(); ++i)
    pad[i] = block[i] ^ 0x5c;
  Sha256 outer;
  outer.Add(pad);
  outer.Add(innerDigest);
  return outer.Finish();
}

std::string SecretFingerprint(const StationKey& key, std::string_view secret) {
  return Hex(HmacSha256(key, secret));
}

}  // namespace quillmark::secrets
