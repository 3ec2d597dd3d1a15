#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <set>

#include "device_secrets.h"
#include "secret_sources.h"
#include "sha512_crypt.h"
#include "uniform_draw.h"

namespace quillmark::secrets {
namespace {

using test::FixedBytes;
using test::SeededBytes;

std::vector<std::uint8_t> Descending() {
  std::vector<std::uint8_t> bytes(256);
  std::iota(bytes.rbegin(), bytes.rend(), 0);
  return bytes;
}

TEST(UniformDraw, EachByteValueOnceGivesEachValueEquallyOften) {
  // 255 … 248 lie above the last whole multiple of 62 and are drawn again
  // from the 8 bytes that follow; taken modulo 62 they would have made
  // 0 … 7 five times as often as the other four.
  FixedBytes source(Descending());
  const auto drawn = DrawUniform(source, 62, 248);
  ASSERT_TRUE(drawn.ok()) << drawn.error;
  EXPECT_EQ(source.left(), 0u);
  std::map<std::uint32_t, int> counts;
  for (const std::uint32_t value : *drawn.value)
    ++counts[value];
  ASSERT_EQ(counts.size(), 62u);
  for (const auto& [value, count] : counts)
    EXPECT_EQ(count, 4) << value;
}

TEST(UniformDraw, WideValuesAreReadBigEndFirstAndRejectedAboveTheLimit) {
  // 0xFFFFFF is past 10^7 × 1, the largest multiple 3 bytes hold.
  FixedBytes source({0xFF, 0xFF, 0xFF, 0x98, 0x96, 0x7F, 0x00, 0x00, 0x2A});
  const auto drawn = DrawUniform(source, 10'000'000, 2);
  ASSERT_TRUE(drawn.ok()) << drawn.error;
  EXPECT_EQ(*drawn.value, (std::vector<std::uint32_t>{9'999'999, 42}));
  EXPECT_EQ(source.left(), 0u);
}

TEST(UniformDraw, ASourceThatFailsOrOnlyGivesRejectsEndsInAnError) {
  FixedBytes empty({});
  EXPECT_EQ(DrawText(empty, kPassphraseAlphabet, 16).error, "the fixed bytes ran out");
  FixedBytes rejects(std::vector<std::uint8_t>(64, 0xFF));
  const auto drawn = DrawUniform(rejects, 62, 1);
  EXPECT_FALSE(drawn.ok());
  EXPECT_FALSE(drawn.error.empty());
}

TEST(SecretAlphabet, HasNoLookAlikesAndNothingZplOrAWifiCodeTakesAsSyntax) {
  EXPECT_EQ(kPassphraseAlphabet.size(), 62u);
  EXPECT_EQ(std::set<char>(kPassphraseAlphabet.begin(), kPassphraseAlphabet.end()).size(), 62u);
  for (const char c : std::string_view("0Oo1lI^~;,:\\\" "))
    EXPECT_EQ(kPassphraseAlphabet.find(c), std::string_view::npos) << c;
  for (const char c : kPassphraseAlphabet)
    EXPECT_TRUE(c > 0x20 && c < 0x7F) << c;
}

TEST(SecretPassphrase, LengthsFrom12To63AreDrawnOthersRefused) {
  SystemSecretSource source;
  for (const int length : {11, 12, 16, 63, 64, 0, -1}) {
    const auto drawn = DrawPassphrase(source, length);
    const bool allowed = length >= 12 && length <= 63;
    ASSERT_EQ(drawn.ok(), allowed) << length;
    if (!allowed) {
      EXPECT_NE(drawn.error.find(std::to_string(length)), std::string::npos) << drawn.error;
      continue;
    }
    EXPECT_EQ(drawn.value->size(), static_cast<std::size_t>(length));
    EXPECT_EQ(drawn.value->find_first_not_of(kPassphraseAlphabet), std::string::npos);
  }
}

TEST(SecretWpsPin, ChecksumDigitFollowsTheWeights) {
  struct Case {
    std::string_view pin;
    bool valid;
  };
  for (const Case& c : {Case{"12345670", true},
                        {"12345671", false},
                        {"00000000", true},
                        {"99999995", true},
                        {"99999990", false},
                        {"1234567", false},
                        {"123456700", false},
                        {"1234567a", false},
                        {"+2345670", false}})
    EXPECT_EQ(IsValidWpsPin(c.pin), c.valid) << c.pin;
  // Every first seven digits have exactly one last digit.
  for (std::uint32_t first = 0; first < 10'000'000; first += 99'991) {
    int valid = 0;
    for (int last = 0; last < 10; ++last) {
      char pin[16];
      std::snprintf(pin, sizeof pin, "%07u%d", static_cast<unsigned>(first), last);
      valid += IsValidWpsPin(pin) ? 1 : 0;
    }
    EXPECT_EQ(valid, 1) << first;
  }
}

TEST(SecretWpsPin, DrawnFromOneUniformValueWithLeadingZerosKept) {
  FixedBytes source({0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x07});
  const auto pin = DrawWpsPin(source);
  ASSERT_TRUE(pin.ok()) << pin.error;
  EXPECT_EQ(*pin.value, "00000079");  // 7 × 3 = 21: 9 makes 30
}

TEST(SecretBatch, ARepeatIsDrawnAgain) {
  // The second PIN and the password repeat what came before; each is
  // drawn once more from the bytes that follow.
  std::vector<std::uint8_t> bytes = {0, 0, 1, 0, 0, 1, 0, 0, 2};
  for (int copy = 0; copy < 3; ++copy)
    for (std::uint8_t i = 0; i < 12; ++i)
      bytes.push_back(copy < 2 ? i : static_cast<std::uint8_t>(i + 1));
  FixedBytes source(bytes);
  BatchSecrets batch(source);
  EXPECT_EQ(*batch.WpsPin().value, "00000017");
  EXPECT_EQ(*batch.WpsPin().value, "00000024");
  const auto passphrase = batch.Passphrase(12);
  const auto password = batch.AdminPassword(12);
  ASSERT_TRUE(passphrase.ok() && password.ok());
  EXPECT_EQ(*passphrase.value, "23456789ABCD");
  EXPECT_EQ(*password.value, "3456789ABCDE");
  EXPECT_EQ(source.left(), 0u);
}

TEST(SecretBatch, AFullBatchOfPinsFromTheSystemHasNoRepeat) {
  SystemSecretSource source;
  BatchSecrets batch(source);
  std::set<std::string> pins;
  for (int device = 0; device < 65535; ++device) {
    const auto pin = batch.WpsPin();
    ASSERT_TRUE(pin.ok()) << pin.error;
    ASSERT_TRUE(IsValidWpsPin(*pin.value)) << *pin.value;
    pins.insert(*pin.value);
  }
  EXPECT_EQ(pins.size(), 65535u);
}

TEST(SecretAdminPassword, HashUsesADrawnSaltOfSixteen) {
  std::vector<std::uint8_t> bytes(16);
  std::iota(bytes.begin(), bytes.end(), 0);
  FixedBytes source(bytes);
  const auto hash = HashAdminPassword(source, "Quill-admin");
  ASSERT_TRUE(hash.ok()) << hash.error;
  EXPECT_TRUE(hash.value->starts_with("$6$./0123456789ABCD$")) << *hash.value;
  EXPECT_TRUE(Sha512CryptMatches("Quill-admin", *hash.value));
}

// Pearson's statistic of counts against equal expectations.
double ChiSquare(const std::vector<long>& counts) {
  const double total = std::accumulate(counts.begin(), counts.end(), 0.0);
  const double expected = total / static_cast<double>(counts.size());
  double sum = 0;
  for (const long count : counts)
    sum += (count - expected) * (count - expected) / expected;
  return sum;
}

std::vector<long> LetterCounts(const std::string& text) {
  std::vector<long> counts(kPassphraseAlphabet.size());
  for (const char c : text)
    ++counts[kPassphraseAlphabet.find(c)];
  return counts;
}

// The chi-square distribution's upper quantiles for 61 degrees of freedom
// (62 letters) and 9 (10 digits).
constexpr double kLetters001 = 100.888;  // p = 0.001
constexpr double kLetters1e9 = 152.016;  // p = 1e-9
constexpr double kDigits001 = 27.877;    // p = 0.001

// Over a seeded stream the statistic is one fixed number: this tests how
// bytes become letters, at the usual p = 0.001, and can never fail by
// chance. The same bytes taken modulo 62 are far past the limit, which
// shows the test would catch that bias.
TEST(SecretStatistics, HundredThousandSeededLettersShowNoBias) {
  SeededBytes source(20240429);
  std::string text;
  while (text.size() < 100'000)
    text += *DrawPassphrase(source, 50).value;
  EXPECT_LT(ChiSquare(LetterCounts(text)), kLetters001);

  SeededBytes same(20240429);
  std::vector<std::uint8_t> bytes(100'000);
  ASSERT_EQ(same.Read(bytes), "");
  std::vector<long> modulo(62);
  for (const std::uint8_t byte : bytes)
    ++modulo[byte % 62];
  EXPECT_GT(ChiSquare(modulo), kLetters001 * 3);
}

TEST(SecretStatistics, HundredThousandSeededPinDigitsShowNoBias) {
  SeededBytes source(18031);
  std::vector<long> counts(10);
  for (int pin = 0; pin < 100'002 / 7; ++pin) {
    const std::string drawn = *DrawWpsPin(source).value;
    for (int i = 0; i < 7; ++i)
      ++counts[drawn[i] - '0'];
  }
  EXPECT_LT(ChiSquare(counts), kDigits001);
}

// The operating system's bytes differ on every run, so the run is judged
// at p = 1e-9: a working source fails it once in a billion runs, while a
// bias like the modulo one above still fails it every time.
TEST(SecretStatistics, HundredThousandSystemLettersShowNoBias) {
  SystemSecretSource source;
  std::string text;
  while (text.size() < 100'000)
    text += *DrawPassphrase(source, 50).value;
  EXPECT_LT(ChiSquare(LetterCounts(text)), kLetters1e9);
}

}  // namespace
}  // namespace quillmark::secrets
