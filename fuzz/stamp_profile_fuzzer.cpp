// Any bytes as a stamp profile: the reader and the checks never fail
// unsafely, a refusal is one line, and an accepted profile changes a
// device's copy only where it names a field or a checksum.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_check.h"
#include "image_checks.h"
#include "stamp_layout.h"
#include "stamp_profile.h"

namespace quillmark::fuzz {
namespace {

constexpr std::uint64_t kImageSize = 0x400000;

// A valid image whose own checksums the fuzzer can hit only by chance:
// a pattern, with the signature bytes acceptance checks.
const std::vector<std::uint8_t>& Image() {
  static const std::vector<std::uint8_t> image = [] {
    std::vector<std::uint8_t> bytes(kImageSize);
    for (std::uint64_t i = 0; i < kImageSize; ++i)
      bytes[i] = static_cast<std::uint8_t>(i * 7 + (i >> 9));
    const std::pair<std::uint32_t, std::uint8_t> signature[] = {
        {0x1C000, 0xD3}, {0x1C001, 0x57}, {0x1C060, 0x00}, {0x20000, 0x53},
        {0x20001, 0x70}, {0x20002, 0xEB}, {0x20003, 0x67}};
    for (const auto& [offset, value] : signature)
      bytes[offset] = value;
    return bytes;
  }();
  return image;
}

}  // namespace
}  // namespace quillmark::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace quillmark;
  using fuzz::kImageSize;
  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::vector<std::uint8_t>& image = fuzz::Image();
  StampProfileResult result = ReadStampProfile(text, "p.toml");
  if (result.profile) {
    const std::int32_t macsPerDevice = 1 + static_cast<std::int32_t>(size % 4);
    result = CheckStampProfile(std::move(*result.profile), "p.toml", image.data(), kImageSize,
                               macsPerDevice, TouchesCheckedBytes);
  }
  if (!result.profile) {
    fuzz::Require(result.error.rfind("配置文件错误！p.toml", 0) == 0, "a refusal names the file");
    fuzz::Require(result.error.find('\n') == std::string::npos, "a refusal is one line");
    return 0;
  }
  fuzz::Require(quillmark::CheckImageContents(image.data()) == ImageVerdict::Accepted,
                "the image stays acceptable");
  const StampLayout layout(std::move(*result.profile), image.data(), kImageSize);
  std::vector<std::uint8_t> window(
      image.begin() + static_cast<std::ptrdiff_t>(layout.WindowStart()), image.end());
  const std::uint8_t addresses[24] = {4, 0x57, 0x55, 0, 0, 0, 4, 0x57, 0x55, 0, 0, 1,
                                      4, 0x57, 0x55, 0, 0, 2, 4, 0x57, 0x55, 0, 0, 3};
  layout.Stamp(window.data(), addresses);
  std::uint64_t offset = layout.WindowStart();
  for (const ByteRange& range : layout.Written()) {
    fuzz::Require(range.offset >= offset && range.offset + range.size <= kImageSize,
                  "written places lie in the window, in order");
    const std::uint64_t start = offset - layout.WindowStart();
    fuzz::Require(
        std::memcmp(window.data() + start, image.data() + offset, range.offset - offset) == 0,
        "bytes no field or checksum names stay the image's");
    fuzz::Require(!TouchesCheckedBytes(range.offset, range.size), "checked bytes stay untouched");
    offset = range.offset + range.size;
  }
  fuzz::Require(std::memcmp(window.data() + (offset - layout.WindowStart()), image.data() + offset,
                            kImageSize - offset) == 0,
                "the bytes after the last place stay the image's");
  return 0;
}
