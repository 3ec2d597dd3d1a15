#include <gtest/gtest.h>

#include <string>

#include "secret_fingerprint.h"
#include "sha2.h"
#include "sha512_crypt.h"

namespace quillmark::secrets {
namespace {

// FIPS 180-4's examples: no, one and two blocks' worth of padding.
TEST(SecretSha2, KnownDigests) {
  struct Case {
    std::string_view message;
    std::string_view sha256;
    std::string_view sha512;
  };
  for (const Case& c :
       {Case{"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855",
             "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8"
             "318d2877eec2f63b931bd47417a81a538327af927da3e"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad",
         "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c2"
         "3a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1",
         "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3be"
         "a57789ca031ad85c7a71dd70354ec631238ca3445"}}) {
    EXPECT_EQ(Hex(Sha256::Of(c.message)), c.sha256) << c.message;
    EXPECT_EQ(Hex(Sha512::Of(c.message)), c.sha512) << c.message;
  }
}

TEST(SecretSha2, PiecesGiveTheDigestOfTheWhole) {
  std::string message;
  for (int i = 0; i < 1000; ++i)
    message += static_cast<char>(i * 7);
  for (const std::size_t piece : {1u, 3u, 55u, 64u, 111u, 129u}) {
    Sha256 small;
    Sha512 large;
    for (std::size_t at = 0; at < message.size(); at += piece) {
      small.Add(std::string_view(message).substr(at, piece));
      large.Add(std::string_view(message).substr(at, piece));
    }
    EXPECT_EQ(small.Finish(), Sha256::Of(message)) << piece;
    EXPECT_EQ(large.Finish(), Sha512::Of(message)) << piece;
  }
}

// RFC 4231's cases 2 (a short key) and 6 (a key longer than a block).
TEST(SecretHmac, KnownValues) {
  const std::string_view jefe = "Jefe";
  EXPECT_EQ(Hex(HmacSha256(std::span(reinterpret_cast<const std::uint8_t*>(jefe.data()), 4),
                           "what do ya want for nothing?")),
            "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  const std::vector<std::uint8_t> longKey(131, 0xaa);
  EXPECT_EQ(Hex(HmacSha256(longKey, "Test Using Larger Than Block-Size Key - Hash Key First")),
            "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

TEST(SecretFingerprints, DependOnTheKeyAndTheSecret) {
  StationKey key{};
  StationKey other{};
  other[31] = 1;
  const std::string fingerprint = SecretFingerprint(key, "Ab3#Ab3#Ab3#Ab3#");
  EXPECT_EQ(fingerprint.size(), 64u);
  EXPECT_EQ(SecretFingerprint(key, "Ab3#Ab3#Ab3#Ab3#"), fingerprint);
  EXPECT_NE(SecretFingerprint(other, "Ab3#Ab3#Ab3#Ab3#"), fingerprint);
  EXPECT_NE(SecretFingerprint(key, "Ab3#Ab3#Ab3#Ab3="), fingerprint);
}

TEST(SecretCrypt, TheAlgorithmsOwnExampleAndTheSaltCutAtSixteen) {
  const std::string expected =
      "$6$saltstring$svn8UoSVapNtMuq1ukKS4tPQd8iKwSMHWjl/O817G3uBnIFNjnQJuesI68u4OTLiBFdcbYEdFCo"
      "EOfaS35inz1";
  EXPECT_EQ(Sha512Crypt("Hello world!", "saltstring"), expected);
  EXPECT_EQ(Sha512Crypt("x", "0123456789abcdefEXTRA"), Sha512Crypt("x", "0123456789abcdef"));
}

TEST(SecretCrypt, MatchesOnlyTheRightPasswordAndAWellFormedHash) {
  const std::string hash = Sha512Crypt("Quill#2024", "abcdefghABCDEFGH");
  EXPECT_TRUE(Sha512CryptMatches("Quill#2024", hash));
  std::string altered = hash;
  altered.back() = altered.back() == 'a' ? 'b' : 'a';
  for (const auto& [clear, stored] : std::vector<std::pair<std::string, std::string>>{
           {"Quill#2025", hash},
           {"Quill#2024", altered},
           {"Quill#2024", hash.substr(0, hash.size() - 1)},
           {"Quill#2024", "$5" + hash.substr(2)},
           {"Quill#2024", "$6$rounds=5000$abcdefghABCDEFGH" + hash.substr(hash.rfind('$'))},
           {"Quill#2024", "$6$abcdefghABCDEFGH"},
           {"", ""}})
    EXPECT_FALSE(Sha512CryptMatches(clear, stored)) << clear << " " << stored;
}

}  // namespace
}  // namespace quillmark::secrets
