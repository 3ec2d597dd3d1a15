#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "sha2.h"

namespace quillmark::secrets {

// Fingerprints let the ledger refuse a secret some earlier batch already
// used without holding any secret: HMAC-SHA-256 under a station key kept
// outside the ledger's database, so a copy of the ledger alone is no list
// of hashes to guess passphrases against, and the same secret gives the
// same fingerprint on every run of the station (or factory) holding the
// key.
//
// WPS PINs get no fingerprint. There are 10^7 of them (the eighth digit
// follows from the seven), few enough that whoever holds the key computes
// all ten million fingerprints in seconds and reads every device's PIN
// back from the ledger: a PIN's fingerprint would be the PIN itself to
// anyone with the key. And a repeat across batches is no fault to refuse:
// among a few hundred thousand devices two PINs meet by chance.
using StationKey = std::array<std::uint8_t, 32>;

// HMAC (RFC 2104) with SHA-256.
Sha256::Digest HmacSha256(std::span<const std::uint8_t> key, std::string_view message);

// The fingerprint of a secret as 64 lower-case hexadecimal digits.
std::string SecretFingerprint(const StationKey& key, std::string_view secret);

}  // namespace quillmark::secrets
