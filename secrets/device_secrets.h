#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

#include "secret_result.h"
#include "secret_source.h"

namespace quillmark::secrets {

// The characters of a Wi-Fi passphrase and an administrator password: 62,
// so 5.95 bits each and 95.3 bits in a default passphrase of 16. Digits 2
// to 9, the letters but for the look-alikes 0 O o 1 l I, and six symbols
// that neither ZPL (^ ~), a WIFI: QR code (; , : \ ") nor the CSV of a
// secrets file (, ") take as anything but themselves.
inline constexpr std::string_view kPassphraseAlphabet =
    "23456789"
    "ABCDEFGHJKLMNPQRSTUVWXYZ"
    "abcdefghijkmnpqrstuvwxyz"
    "#+-=?@";

// WPA2's passphrase is 8 to 63 characters; below 12 a label's passphrase
// is too easily guessed offline from one captured handshake.
inline constexpr int kShortestPassphrase = 12;
inline constexpr int kLongestPassphrase = 63;
inline constexpr int kDefaultPassphraseLength = 16;

// The WPS checksum digit of a PIN's first seven digits: the digits
// weighted 3, 1, 3, 1, … from the first, the digit that brings their sum
// to a multiple of ten.
int WpsChecksumDigit(std::uint32_t firstSeven);
// Eight decimal digits whose last is the checksum of the seven before.
bool IsValidWpsPin(std::string_view pin);

// One device's secret of each kind, drawn from the source alone: nothing
// of the device (its MAC, its serial, its place in the batch) goes in.
SecretResult<std::string> DrawPassphrase(SecretSource& source, int length);
SecretResult<std::string> DrawWpsPin(SecretSource& source);
// An administrator password: the passphrase's alphabet and lengths.
SecretResult<std::string> DrawAdminPassword(SecretSource& source, int length);
// The SHA-512 crypt of a password under a fresh salt of 16 characters.
SecretResult<std::string> HashAdminPassword(SecretSource& source, std::string_view clear);

// The secrets of one batch, none the same as another of the batch (a
// repeat is thrown away and drawn again). PINs need it most: 65535 of
// them out of 10^7 repeat about 200 times.
class BatchSecrets {
 public:
  explicit BatchSecrets(SecretSource& source) : m_source(source) {}

  SecretResult<std::string> Passphrase(int length);
  SecretResult<std::string> WpsPin();
  SecretResult<std::string> AdminPassword(int length);

 private:
  template <class Draw>
  SecretResult<std::string> Unlike(Draw draw);

  SecretSource& m_source;
  // Passphrases and passwords share one alphabet and must not match each
  // other either; a PIN's eight digits cannot match either of them.
  std::unordered_set<std::string> m_drawn;
};

}  // namespace quillmark::secrets
