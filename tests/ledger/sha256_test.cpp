// The image digest the ledger records: FIPS 180-4's example messages, the
// processor's SHA extensions against the portable code, and coreutils'
// sha256sum of a real image file as an independent reader.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "child_process.h"
#include "fixture_image.h"
#include "scratch_dir.h"
#include "sha256.h"

namespace quillmark::test {
namespace {

using ledger::PortableSha256Hex;
using ledger::Sha256Hex;

struct Vector {
  std::string message;
  const char* digest;
};

std::vector<Vector> StandardVectors() {
  return {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlm"
       "nopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
      {std::string(1000000, 'a'),
       "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
}

const std::uint8_t* Bytes(const std::string& text) {
  return reinterpret_cast<const std::uint8_t*>(text.data());
}

TEST(Sha256, StandardVectorsOnBothPaths) {
  for (const Vector& v : StandardVectors()) {
    SCOPED_TRACE(v.message.substr(0, 20) + " (" + std::to_string(v.message.size()) + " bytes)");
    EXPECT_EQ(Sha256Hex(Bytes(v.message), v.message.size()), v.digest);
    EXPECT_EQ(PortableSha256Hex(Bytes(v.message), v.message.size()), v.digest);
  }
}

// Every length around the padding's edges (55, 56, 63, 64 bytes and on),
// and whole blocks beside a part, give one digest on either path.
TEST(Sha256, ProcessorExtensionsAgreeWithThePortableCode) {
  if (!ledger::Sha256UsesProcessorExtensions())
    GTEST_SKIP() << "this processor has no SHA extensions; the portable code alone runs";
  std::mt19937 random(20261211);
  std::vector<std::uint8_t> bytes(4096 + 77);
  for (std::uint8_t& byte : bytes)
    byte = static_cast<std::uint8_t>(random());
  for (std::size_t size = 0; size <= bytes.size(); size += size < 300 ? 1 : 97)
    ASSERT_EQ(Sha256Hex(bytes.data(), size), PortableSha256Hex(bytes.data(), size)) << size;
}

TEST(Sha256, AgreesWithSha256sumOnARealImage) {
  const ScratchDir dir;
  const std::vector<std::uint8_t> image = MakeValidImage(k4MiB);
  WriteFileBytes(dir / "image.img", image);
  const ChildResult summed = RunChild({"sha256sum", dir / "image.img"});
  ASSERT_EQ(summed.exitCode, 0) << summed.err;
  EXPECT_EQ(summed.out.substr(0, 64), Sha256Hex(image.data(), image.size()));
}

}  // namespace
}  // namespace quillmark::test
