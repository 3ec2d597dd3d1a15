#include "stamp_layout.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "fixture_image.h"
#include "image_checks.h"
#include "stamp_profile.h"

namespace quillmark {
namespace {

std::uint32_t StoredLittle32(const std::vector<std::uint8_t>& image, std::uint64_t at) {
  return image[at] | image[at + 1] << 8 | image[at + 2] << 16 |
         static_cast<std::uint32_t>(image[at + 3]) << 24;
}

// Checksums are updated from the bytes that change alone; they must come
// out as the plain functions compute them over the whole range, device
// after device in one window, for ranges long and short, one holding
// another's stored word, and a field only partly inside a range.
TEST(StampLayoutTest, UpdatedChecksumsEqualTheWholeRangeRecomputed) {
  std::vector<std::uint8_t> image = test::MakeValidImage(test::k4MiB);
  std::mt19937 random(7);
  for (std::uint64_t i = 0x100000; i < 0x300000; ++i)
    image[i] = static_cast<std::uint8_t>(random());
  // The input must satisfy its own checksums: xor16 first (it keeps its
  // input value), crc32 over a range that holds the xor16's word, sum16.
  image[0x100002] = image[0x100003] = 0;
  const std::uint32_t crc = Crc32(image.data() + 0x100000, 0x40001);
  for (int b = 0; b < 4; ++b)
    image[0x200000 + b] = static_cast<std::uint8_t>(crc >> (8 * b));
  image[0x250000] = image[0x250001] = 0;
  const std::uint16_t sum = Sum16(image.data() + 0x250000, 0x1000);
  const std::uint16_t total = 0xBABA;
  const std::uint16_t word = static_cast<std::uint16_t>(total - sum);
  image[0x250000] = static_cast<std::uint8_t>(word);
  image[0x250001] = static_cast<std::uint8_t>(word >> 8);

  // Random bytes where the fields go: what they hold is not checked here.
  const char* text = R"([[field]]
type = "mac-text"
offset = 0x100010
address = 1
separator = ""
expect = "any"
[[field]]
type = "mac"
offset = 0x13FFFE
address = 2
expect = "any"
[[field]]
type = "mac"
offset = 0x250FF0
address = 1
expect = "any"
[[checksum]]
type = "xor16"
offset = 0x100002
start = 0x100000
end = 0x100844
[[checksum]]
type = "crc32"
offset = 0x200000
start = 0x100000
end = 0x140001
[[checksum]]
type = "sum16"
offset = 0x250000
start = 0x250000
end = 0x251000
total = 0xBABA
)";
  StampProfileResult read = ReadStampProfile(text, "p.toml");
  ASSERT_TRUE(read.profile) << read.error;
  StampProfileResult checked = CheckStampProfile(std::move(*read.profile), "p.toml", image.data(),
                                                 image.size(), 2, TouchesCheckedBytes);
  ASSERT_TRUE(checked.profile) << checked.error;
  const std::uint16_t inputXor = Xor16(image.data() + 0x100000, 0x844);
  const StampLayout layout(std::move(*checked.profile), image.data(), image.size());

  std::vector<std::uint8_t> window(
      image.begin() + static_cast<std::ptrdiff_t>(layout.WindowStart()), image.end());
  std::vector<std::uint8_t> device(image);
  for (std::uint8_t last : {0x00, 0x01, 0xFE, 0x5A}) {
    const std::uint8_t addresses[12] = {4,    0x57, 0x55, 0xA0,
                                        0x13, last, 4,    0x57,
                                        0x55, 0xA0, 0x13, static_cast<std::uint8_t>(last + 1)};
    layout.Stamp(window.data(), addresses);
    std::copy(window.begin(), window.end(),
              device.begin() + static_cast<std::ptrdiff_t>(layout.WindowStart()));
    EXPECT_EQ(Xor16(device.data() + 0x100000, 0x844), inputXor);
    EXPECT_EQ(StoredLittle32(device, 0x200000), Crc32(device.data() + 0x100000, 0x40001));
    EXPECT_EQ(Sum16(device.data() + 0x250000, 0x1000), total);
    EXPECT_EQ(device[0x13FFFE + 5], static_cast<std::uint8_t>(last + 1));
  }
}

}  // namespace
}  // namespace quillmark
