#include "device_secrets.h"

#include <cstdio>

#include "interface_text.h"
#include "sha512_crypt.h"
#include "uniform_draw.h"

namespace quillmark::secrets {
namespace {

constexpr std::uint32_t kPinValues = 10'000'000;  // the first seven digits

// A working source repeats a secret this often in a row with chance below
// 2^-60 even for the PINs of a full batch.
constexpr int kMostRedraws = 12;

SecretResult<std::string> LengthRefused(int length) {
  return SecretResult<std::string>::Failed(
      Fill({"密码长度 %1 不在 %2–%3 之内", "A password length of %1 is outside %2–%3"},
           {std::to_string(length), std::to_string(kShortestPassphrase),
            std::to_string(kLongestPassphrase)}));
}

}  // namespace

int WpsChecksumDigit(std::uint32_t firstSeven) {
  unsigned sum = 0;
  // From the last of the seven (weight 3) back to the first (weight 3).
  for (int i = 0; i < 7; ++i, firstSeven /= 10)
    sum += (firstSeven % 10) * (i % 2 == 0 ? 3u : 1u);
  return static_cast<int>((10 - sum % 10) % 10);
}

bool IsValidWpsPin(std::string_view pin) {
  if (pin.size() != 8 || pin.find_first_not_of("0123456789") != std::string_view::npos)
    return false;
  std::uint32_t firstSeven = 0;
  for (std::size_t i = 0; i < 7; ++i)
    firstSeven = firstSeven * 10 + static_cast<std::uint32_t>(pin[i] - '0');
  return pin[7] - '0' == WpsChecksumDigit(firstSeven);
}

SecretResult<std::string> DrawPassphrase(SecretSource& source, int length) {
  if (length < kShortestPassphrase || length > kLongestPassphrase)
    return LengthRefused(length);
  return DrawText(source, kPassphraseAlphabet, static_cast<std::size_t>(length));
}

SecretResult<std::string> DrawWpsPin(SecretSource& source) {
  auto drawn = DrawUniform(source, kPinValues, 1);
  if (!drawn.ok())
    return SecretResult<std::string>::Failed(std::move(drawn.error));
  const std::uint32_t firstSeven = drawn.value->front();
  char pin[16];
  std::snprintf(pin, sizeof pin, "%07u%d", static_cast<unsigned>(firstSeven),
                WpsChecksumDigit(firstSeven));
  return SecretResult<std::string>::Of(pin);
}

SecretResult<std::string> DrawAdminPassword(SecretSource& source, int length) {
  return DrawPassphrase(source, length);
}

SecretResult<std::string> HashAdminPassword(SecretSource& source, std::string_view clear) {
  auto salt = DrawText(source, kCryptAlphabet, kCryptSaltLength);
  if (!salt.ok())
    return salt;
  return SecretResult<std::string>::Of(Sha512Crypt(clear, *salt.value));
}

template <class Draw>
SecretResult<std::string> BatchSecrets::Unlike(Draw draw) {
  for (int attempt = 0; attempt < kMostRedraws; ++attempt) {
    SecretResult<std::string> drawn = draw();
    if (!drawn.ok() || m_drawn.insert(*drawn.value).second)
      return drawn;
  }
  return SecretResult<std::string>::Failed(
      std::string(Pick({"随机数来源反复给出本批已有的密码，已停止",
                        "The random source keeps repeating a secret of this batch; stopped"})));
}

SecretResult<std::string> BatchSecrets::Passphrase(int length) {
  return Unlike([&] { return DrawPassphrase(m_source, length); });
}

SecretResult<std::string> BatchSecrets::WpsPin() {
  return Unlike([&] { return DrawWpsPin(m_source); });
}

SecretResult<std::string> BatchSecrets::AdminPassword(int length) {
  return Unlike([&] { return DrawAdminPassword(m_source, length); });
}

}  // namespace quillmark::secrets
