#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace quillmark {

// A stamp profile names every place a device's copy differs from the
// input image: its addresses as bytes or text, and the firmware's
// checksums over them, recomputed after the fields are written.
enum class FieldType { Mac, MacText };
// What a field's place must hold in the input image before it is written,
// so that a profile one byte off is refused rather than written: its own
// form (a mac field a unicast address or blank bytes, a mac-text field hex
// digits and separators), blank bytes only (mac), or anything.
enum class FieldExpect { Form, Blank, Any };
enum class ChecksumType { Crc32, Xor16, Sum16 };

struct StampField {
  FieldType type = FieldType::Mac;
  std::uint64_t offset = 0;  // from the start once checked; from the end while fromEnd
  bool fromEnd = false;
  std::int64_t address = 1;  // which of the device's addresses, from 1
  std::string separator = ":";
  bool uppercase = false;
  FieldExpect expect = FieldExpect::Form;
  std::int64_t line = 0;  // the profile's line of its [[field]]

  std::uint64_t Size() const;
};

struct StampChecksum {
  ChecksumType type = ChecksumType::Crc32;
  std::uint64_t offset = 0;    // where the checksum is stored
  std::uint64_t start = 0;     // the bytes it covers, start inclusive
  std::uint64_t end = 0;       // end exclusive
  std::uint16_t total = 0;     // sum16: what the covered words add up to
  std::uint16_t inputXor = 0;  // xor16: the covered words' XOR in the input image
  std::int64_t line = 0;

  std::uint64_t Size() const { return type == ChecksumType::Crc32 ? 4 : 2; }
};

struct StampProfile {
  std::vector<StampField> fields;
  std::vector<StampChecksum> checksums;
};

struct [[nodiscard]] StampProfileResult {
  std::optional<StampProfile> profile;
  std::string error;  // one line naming the profile's line or key, when refused
};

// True when this build can read profiles (it needs the TOML parser).
bool StampProfilesSupported();

// Reads a profile's text; name is how the refusal names the file.
StampProfileResult ReadStampProfile(const std::string& text, const std::string& name);

// Checks a read profile against the accepted image it will be applied to:
// every place inside the image and apart from the others and from the
// bytes acceptance checks, every field's place holding what it expects,
// every address one the devices have, every checksum one the input image
// itself satisfies. Resolves the offsets
// given from the end and notes what the checksums must keep.
// checkedBytes says whether a place covers bytes that acceptance reads
// (the image's signature and build time), which a field may not change.
using CheckedBytesTest = bool (*)(std::uint64_t offset, std::uint64_t size);
StampProfileResult CheckStampProfile(StampProfile profile, const std::string& name,
                                     const std::uint8_t* image, std::uint64_t size,
                                     std::int32_t macsPerDevice, CheckedBytesTest checkedBytes);

// CRC-32 as zlib computes it (reflected 0xEDB88320, inverted in and out).
std::uint32_t Crc32(const std::uint8_t* bytes, std::uint64_t size);
std::uint16_t Xor16(const std::uint8_t* bytes, std::uint64_t size);  // big-endian words
std::uint16_t Sum16(const std::uint8_t* bytes, std::uint64_t size);  // little-endian words

const char* FieldTypeName(FieldType type);
const char* ChecksumTypeName(ChecksumType type);

}  // namespace quillmark
