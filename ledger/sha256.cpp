// SHA-256 as FIPS 180-4 defines it, our own: a crypto library would be
// mapped into every run of the command-line tool (1.6 MiB resident at
// start) only to name the image a batch was written from. Where the
// processor has the SHA extensions they do the rounds; the portable code
// gives the same digest everywhere else.
#include "sha256.h"

#include <array>
#include <cstring>

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <cpuid.h>
#include <immintrin.h>
#define QUILLMARK_SHA256_X86 1
#endif

namespace quillmark::ledger {
namespace {

using State = std::array<std::uint32_t, 8>;

constexpr std::uint32_t kRoundConstants[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

constexpr State kInitialState = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

constexpr std::uint32_t Rotate(std::uint32_t x, int n) {
  return (x >> n) | (x << (32 - n));
}

void PortableBlocks(State& state, const std::uint8_t* data, std::size_t blocks) {
  for (; blocks > 0; --blocks, data += 64) {
    std::uint32_t w[64];
    for (int t = 0; t < 16; ++t) {
      w[t] = std::uint32_t{data[4 * t]} << 24 | std::uint32_t{data[4 * t + 1]} << 16 |
             std::uint32_t{data[4 * t + 2]} << 8 | data[4 * t + 3];
    }
    for (int t = 16; t < 64; ++t) {
      const std::uint32_t s0 = Rotate(w[t - 15], 7) ^ Rotate(w[t - 15], 18) ^ (w[t - 15] >> 3);
      const std::uint32_t s1 = Rotate(w[t - 2], 17) ^ Rotate(w[t - 2], 19) ^ (w[t - 2] >> 10);
      w[t] = w[t - 16] + s0 + w[t - 7] + s1;
    }
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    std::uint32_t e = state[4], f = state[5], g = state[6], h = state[7];
    for (int t = 0; t < 64; ++t) {
      const std::uint32_t t1 = h + (Rotate(e, 6) ^ Rotate(e, 11) ^ Rotate(e, 25)) +
                               ((e & f) ^ (~e & g)) + kRoundConstants[t] + w[t];
      const std::uint32_t t2 =
          (Rotate(a, 2) ^ Rotate(a, 13) ^ Rotate(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
      h = g;
      g = f;
      f = e;
      e = d + t1;
      d = c;
      c = b;
      b = a;
      a = t1 + t2;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
    state[5] += f;
    state[6] += g;
    state[7] += h;
  }
}

#ifdef QUILLMARK_SHA256_X86
bool ProcessorHasShaExtensions() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (!__get_cpuid(1, &a, &b, &c, &d))
    return false;
  const bool ssse3 = (c & (1u << 9)) != 0;
  const bool sse41 = (c & (1u << 19)) != 0;
  if (!__get_cpuid_count(7, 0, &a, &b, &c, &d))
    return false;
  return ssse3 && sse41 && (b & (1u << 29)) != 0;
}

// The rounds in the SHA extensions' order of the state (ABEF and CDGH),
// four rounds a step; message words 16.. are made four at a time from the
// four vectors before them.
__attribute__((target("sha,sse4.1,ssse3"))) void ShaExtensionBlocks(State& state,
                                                                    const std::uint8_t* data,
                                                                    std::size_t blocks) {
  const __m128i byteSwap = _mm_set_epi64x(0x0c0d0e0f08090a0bULL, 0x0405060700010203ULL);
  __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[0]));
  __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state[4]));
  const __m128i cdab = _mm_shuffle_epi32(dcba, 0xB1);
  const __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1B);
  __m128i abef = _mm_alignr_epi8(cdab, efgh, 8);
  __m128i cdgh = _mm_blend_epi16(efgh, cdab, 0xF0);
  for (; blocks > 0; --blocks, data += 64) {
    const __m128i abefBefore = abef;
    const __m128i cdghBefore = cdgh;
    __m128i m[4];
    for (int i = 0; i < 4; ++i) {
      m[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)),
                              byteSwap);
    }
    for (int step = 0; step < 16; ++step) {
      __m128i& words = m[step & 3];
      if (step >= 4) {
        const __m128i before1 = m[(step - 1) & 3];
        const __m128i before2 = m[(step - 2) & 3];
        const __m128i sum = _mm_add_epi32(_mm_sha256msg1_epu32(words, m[(step - 3) & 3]),
                                          _mm_alignr_epi8(before1, before2, 4));
        words = _mm_sha256msg2_epu32(sum, before1);
      }
      const __m128i k =
          _mm_loadu_si128(reinterpret_cast<const __m128i*>(&kRoundConstants[4 * step]));
      const __m128i input = _mm_add_epi32(words, k);
      cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
      abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(input, 0x0E));
    }
    abef = _mm_add_epi32(abef, abefBefore);
    cdgh = _mm_add_epi32(cdgh, cdghBefore);
  }
  const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
  const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
  dcba = _mm_blend_epi16(feba, dchg, 0xF0);
  hgfe = _mm_alignr_epi8(dchg, feba, 8);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[0]), dcba);
  _mm_storeu_si128(reinterpret_cast<__m128i*>(&state[4]), hgfe);
}
#endif

using BlockFunction = void (*)(State&, const std::uint8_t*, std::size_t);

BlockFunction FastestBlocks() {
#ifdef QUILLMARK_SHA256_X86
  if (ProcessorHasShaExtensions())
    return ShaExtensionBlocks;
#endif
  return PortableBlocks;
}

std::array<std::uint8_t, 32> Digest(const std::uint8_t* bytes, std::size_t size,
                                    BlockFunction blocks) {
  State state = kInitialState;
  const std::size_t whole = size / 64;
  if (whole > 0)
    blocks(state, bytes, whole);
  // The rest, the 0x80 byte, zeros and the length in bits: one or two blocks.
  std::uint8_t tail[128] = {};
  const std::size_t rest = size % 64;
  if (rest > 0)
    std::memcpy(tail, bytes + 64 * whole, rest);
  tail[rest] = 0x80;
  const std::size_t tailSize = rest < 56 ? 64 : 128;
  const std::uint64_t bits = static_cast<std::uint64_t>(size) * 8;
  for (int i = 0; i < 8; ++i)
    tail[tailSize - 1 - i] = static_cast<std::uint8_t>(bits >> (8 * i));
  blocks(state, tail, tailSize / 64);
  std::array<std::uint8_t, 32> digest{};
  for (std::size_t i = 0; i < 8; ++i) {
    for (std::size_t j = 0; j < 4; ++j)
      digest[4 * i + j] = static_cast<std::uint8_t>(state[i] >> (24 - 8 * j));
  }
  return digest;
}

std::string Hex(const std::array<std::uint8_t, 32>& digest) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (const std::uint8_t byte : digest) {
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xf];
  }
  return hex;
}

}  // namespace

std::string Sha256Hex(const std::uint8_t* bytes, std::size_t size) {
  static const BlockFunction blocks = FastestBlocks();
  return Hex(Digest(bytes, size, blocks));
}

std::string PortableSha256Hex(const std::uint8_t* bytes, std::size_t size) {
  return Hex(Digest(bytes, size, PortableBlocks));
}

bool Sha256UsesProcessorExtensions() {
  return FastestBlocks() != PortableBlocks;
}

}  // namespace quillmark::ledger
