#include "sha512_crypt.h"

#include <algorithm>

#include "sha2.h"

namespace quillmark::secrets {
namespace {

constexpr int kRounds = 5000;
constexpr std::string_view kPrefix = "$6$";

// Adds the bytes of digest over and over until length bytes were added.
void AddRepeated(Sha512& hash, const Sha512::Digest& digest, std::size_t length) {
  for (; length >= digest.size(); length -= digest.size())
    hash.Add(digest);
  hash.Add(std::span(digest.data(), length));
}

// The digest of text repeated count times, stretched or cut to length.
std::string Stretched(std::string_view text, std::size_t count, std::size_t length) {
  Sha512 hash;
  for (std::size_t i = 0; i < count; ++i)
    hash.Add(text);
  const Sha512::Digest digest = hash.Finish();
  std::string out;
  out.reserve(length);
  while (out.size() < length)
    out.append(reinterpret_cast<const char*>(digest.data()),
               std::min(digest.size(), length - out.size()));
  return out;
}

// The final digest's bytes in crypt's own order, three at a time, each
// group little end first in six-bit characters.
std::string Encode(const Sha512::Digest& digest) {
  std::string out;
  const auto put = [&out](unsigned value, int characters) {
    for (int i = 0; i < characters; ++i, value >>= 6)
      out += kCryptAlphabet[value & 0x3F];
  };
  for (unsigned i = 0; i < 21; ++i) {
    // Bytes i, i + 21 and i + 42, rotated by i's remainder of three.
    unsigned index[3] = {i, i + 21, i + 42};
    const unsigned turn = i % 3;
    const unsigned high = index[turn], middle = index[(turn + 1) % 3], low = index[(turn + 2) % 3];
    put(static_cast<unsigned>(digest[high]) << 16 | static_cast<unsigned>(digest[middle]) << 8 |
            digest[low],
        4);
  }
  put(digest[63], 2);
  return out;
}

}  // namespace

std::string Sha512Crypt(std::string_view clear, std::string_view salt) {
  salt = salt.substr(0, kCryptSaltLength);
  Sha512 alternate;
  alternate.Add(clear);
  alternate.Add(salt);
  alternate.Add(clear);
  const Sha512::Digest alternateDigest = alternate.Finish();

  Sha512 first;
  first.Add(clear);
  first.Add(salt);
  AddRepeated(first, alternateDigest, clear.size());
  // Each bit of the length, lowest first: the alternate digest for a one,
  // the password for a zero.
  for (std::size_t bits = clear.size(); bits > 0; bits >>= 1) {
    if (bits & 1)
      first.Add(alternateDigest);
    else
      first.Add(clear);
  }
  Sha512::Digest current = first.Finish();

  const std::string p = Stretched(clear, clear.size(), clear.size());
  const std::string s = Stretched(salt, 16u + current[0], salt.size());
  for (int round = 0; round < kRounds; ++round) {
    Sha512 hash;
    const bool odd = round % 2 != 0;
    if (odd)
      hash.Add(p);
    else
      hash.Add(current);
    if (round % 3 != 0)
      hash.Add(s);
    if (round % 7 != 0)
      hash.Add(p);
    if (odd)
      hash.Add(current);
    else
      hash.Add(p);
    current = hash.Finish();
  }
  return std::string(kPrefix) + std::string(salt) + "$" + Encode(current);
}

bool Sha512CryptMatches(std::string_view clear, std::string_view hash) {
  if (!hash.starts_with(kPrefix))
    return false;
  const std::size_t end = hash.find('$', kPrefix.size());
  if (end == std::string_view::npos || end - kPrefix.size() > kCryptSaltLength)
    return false;
  const std::string salt(hash.substr(kPrefix.size(), end - kPrefix.size()));
  if (salt.starts_with("rounds=") || salt.find_first_not_of(kCryptAlphabet) != std::string::npos)
    return false;
  const std::string expected = Sha512Crypt(clear, salt);
  if (expected.size() != hash.size())
    return false;
  // Compared whole, not stopping at the first difference.
  unsigned difference = 0;
  for (std::size_t i = 0; i < hash.size(); ++i)
    difference |= static_cast<unsigned>(expected[i] ^ hash[i]);
  return difference == 0;
}

}  // namespace quillmark::secrets
