#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillmark::secrets {

// The characters of a crypt salt and of its hash's encoding.
inline constexpr std::string_view kCryptAlphabet =
    "./0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
inline constexpr std::size_t kCryptSaltLength = 16;

// SHA-512 crypt at its default 5000 rounds: "$6$<salt>$<86 characters>",
// the form Linux's shadow file, BusyBox and most embedded web servers
// check a password against. The salt, up to 16 characters of
// kCryptAlphabet, is used as given (a longer one is cut at 16, as every
// implementation does).
std::string Sha512Crypt(std::string_view clear, std::string_view salt);

// Whether hash is the "$6$<salt>$<hash>" of clear at the default rounds.
bool Sha512CryptMatches(std::string_view clear, std::string_view hash);

}  // namespace quillmark::secrets
