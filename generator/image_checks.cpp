#include "image_checks.h"

#include <cstdio>
#include <cstring>

#include "interface_text.h"

namespace quillmark {
namespace {

struct SignatureByte {
  std::uint32_t offset;
  std::uint8_t value;
};

// Checked in this order; the first that differs rejects the image.
constexpr SignatureByte kSignature[] = {
    {0x1C000, 0xD3}, {0x1C001, 0x57}, {0x1C060, 0x00}, {0x20000, 0x53},
    {0x20001, 0x70}, {0x20002, 0xEB}, {0x20003, 0x67},
};

constexpr std::uint32_t kLinkTextOffset = 0x20183;
constexpr char kLinkText[] = "link";  // compared with its terminating zero
constexpr std::uint32_t kBuildStampOffset = 0x20158;
constexpr std::uint32_t kOldestLinkBuild = 0x59F54B00;

std::uint32_t ReadBigEndian32(const std::uint8_t* bytes) {
  return std::uint32_t{bytes[0]} << 24 | std::uint32_t{bytes[1]} << 16 |
         std::uint32_t{bytes[2]} << 8 | std::uint32_t{bytes[3]};
}

// Upper-case hexadecimal of at least digits digits.
std::string HexText(int digits, unsigned value) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, value);
  return text;
}

}  // namespace

bool IsAcceptedImageSize(std::uint64_t size) {
  return size == 0x400000 || size == 0x800000 || size == 0x1000000;
}

ImageVerdict CheckImageContents(const std::uint8_t* image) {
  for (const SignatureByte& expected : kSignature) {
    if (image[expected.offset] != expected.value)
      return ImageVerdict::Unparsable;
  }
  if (std::memcmp(image + kLinkTextOffset, kLinkText, sizeof kLinkText) == 0 &&
      ReadBigEndian32(image + kBuildStampOffset) < kOldestLinkBuild) {
    return ImageVerdict::BuildTooOld;
  }
  return ImageVerdict::Accepted;
}

}  // namespace quillmark

namespace quillmark {

bool TouchesCheckedBytes(std::uint64_t offset, std::uint64_t size) {
  const auto touches = [&](std::uint64_t start, std::uint64_t length) {
    return offset < start + length && start < offset + size;
  };
  for (const SignatureByte& checked : kSignature) {
    if (touches(checked.offset, 1))
      return true;
  }
  return touches(kLinkTextOffset, sizeof kLinkText) || touches(kBuildStampOffset, 4);
}

std::string ImageProblemText(const std::uint8_t* image) {
  for (const SignatureByte& expected : kSignature) {
    if (image[expected.offset] != expected.value) {
      return Fill({"偏移0x%1处为0x%2：镜像签名须为0x%3",
                   "0x%2 at offset 0x%1: the image's signature needs 0x%3 there"},
                  {HexText(1, expected.offset), HexText(2, image[expected.offset]),
                   HexText(2, expected.value)});
    }
  }
  return Fill(
      {"构建时间0x%1：带 link 标记的镜像须不早于0x%2",
       "build time 0x%1: an image with the link mark must be built no earlier than 0x%2"},
      {HexText(8, ReadBigEndian32(image + kBuildStampOffset)), HexText(8, kOldestLinkBuild)});
}

}  // namespace quillmark
