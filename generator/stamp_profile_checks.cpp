#include <array>
#include <cstdio>

#include "image_checks.h"
#include "printable_text.h"
#include "stamp_profile.h"

namespace quillmark {
namespace {

std::string Refusal(const std::string& name, std::int64_t line, const std::string& what) {
  // Keys, types and the parser's words come from the file: one line whatever they hold.
  return EscapeControlCharacters("配置文件错误！" + name + " 第" + std::to_string(line) + "行：" +
                                 what);
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

// One place a device's copy is written: a field or a stored checksum.
struct Place {
  std::uint64_t offset;
  std::uint64_t size;
  std::int64_t line;
  std::string what;
};

bool Overlap(std::uint64_t a, std::uint64_t aSize, std::uint64_t b, std::uint64_t bSize) {
  return a < b + bSize && b < a + aSize;
}

std::string CheckPlaces(const std::vector<Place>& places, const std::string& name,
                        std::uint64_t size) {
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Place& place = places[i];
    if (place.offset + place.size > size)
      return Refusal(name, place.line, place.what + " 超出映像末尾（映像 " + Hex(size) + " 字节）");
    if (TouchesCheckedBytes(place.offset, place.size))
      return Refusal(name, place.line, place.what + " 覆盖了映像的签名或编译时间字节");
    for (std::size_t j = 0; j < i; ++j) {
      if (Overlap(place.offset, place.size, places[j].offset, places[j].size))
        return Refusal(name, place.line,
                       place.what + " 与第" + std::to_string(places[j].line) + "行的" +
                           places[j].what + " 重叠");
    }
  }
  return {};
}

std::string CheckRange(const StampChecksum& checksum, const std::string& name, std::uint64_t size) {
  const std::string what = std::string(ChecksumTypeName(checksum.type)) + " 校验和";
  if (checksum.start >= checksum.end || checksum.end > size)
    return Refusal(name, checksum.line,
                   what + " 的范围 start..end 应在映像之内且不为空（映像 " + Hex(size) + " 字节）");
  const bool inside = checksum.offset < checksum.end && checksum.start < checksum.offset + 4;
  if (checksum.type == ChecksumType::Crc32) {
    if (Overlap(checksum.offset, 4, checksum.start, checksum.end - checksum.start))
      return Refusal(name, checksum.line, what + " 存放在它自己覆盖的范围之内");
    return {};
  }
  if ((checksum.end - checksum.start) % 2 != 0 || (checksum.offset - checksum.start) % 2 != 0 ||
      !inside || checksum.offset < checksum.start || checksum.offset + 2 > checksum.end)
    return Refusal(name, checksum.line, what + " 应存放在它覆盖的范围之内的一个字上，范围为整字");
  return {};
}

}  // namespace

std::uint32_t Crc32(const std::uint8_t* bytes, std::uint64_t size) {
  static const std::array<std::uint32_t, 256> table = [] {
    std::array<std::uint32_t, 256> entries{};
    for (std::uint32_t i = 0; i < 256; ++i) {
      std::uint32_t value = i;
      for (int bit = 0; bit < 8; ++bit)
        value = (value & 1) ? (value >> 1) ^ 0xEDB88320u : value >> 1;
      entries[i] = value;
    }
    return entries;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::uint64_t i = 0; i < size; ++i)
    crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

std::uint16_t Xor16(const std::uint8_t* bytes, std::uint64_t size) {
  std::uint16_t value = 0;
  for (std::uint64_t i = 0; i + 1 < size; i += 2)
    value ^= static_cast<std::uint16_t>(bytes[i] << 8 | bytes[i + 1]);
  return value;
}

std::uint16_t Sum16(const std::uint8_t* bytes, std::uint64_t size) {
  std::uint16_t value = 0;
  for (std::uint64_t i = 0; i + 1 < size; i += 2)
    value = static_cast<std::uint16_t>(value + (bytes[i] | bytes[i + 1] << 8));
  return value;
}

StampProfileResult CheckStampProfile(StampProfile profile, const std::string& name,
                                     const std::uint8_t* image, std::uint64_t size,
                                     std::int32_t macsPerDevice) {
  std::vector<Place> places;
  for (StampField& field : profile.fields) {
    const std::string what = std::string(FieldTypeName(field.type)) + " 字段";
    if (field.fromEnd) {
      if (field.offset == 0 || field.offset > size)
        return {std::nullopt,
                Refusal(name, field.line, what + " 的 from_end 应在1至" + Hex(size) + "之间")};
      field.offset = size - field.offset;
      field.fromEnd = false;
    }
    if (field.address > macsPerDevice)
      return {std::nullopt, Refusal(name, field.line,
                                    what + " 的 address " + std::to_string(field.address) +
                                        " 超过每设备MAC数量 " + std::to_string(macsPerDevice))};
    places.push_back({field.offset, field.Size(), field.line, what});
  }
  for (const StampChecksum& checksum : profile.checksums) {
    places.push_back({checksum.offset, checksum.Size(), checksum.line,
                      std::string(ChecksumTypeName(checksum.type)) + " 校验和"});
  }
  if (std::string error = CheckPlaces(places, name, size); !error.empty())
    return {std::nullopt, error};
  for (std::size_t i = 0; i < profile.checksums.size(); ++i) {
    StampChecksum& checksum = profile.checksums[i];
    if (std::string error = CheckRange(checksum, name, size); !error.empty())
      return {std::nullopt, error};
    // Checksums are recomputed in the profile's order: one covering a
    // checksum recomputed after it would no longer hold.
    for (std::size_t j = i + 1; j < profile.checksums.size(); ++j) {
      const StampChecksum& later = profile.checksums[j];
      if (Overlap(checksum.start, checksum.end - checksum.start, later.offset, later.Size()))
        return {std::nullopt,
                Refusal(name, checksum.line,
                        "它覆盖第" + std::to_string(later.line) + "行的校验和，应排在其后")};
    }
    const std::uint8_t* covered = image + checksum.start;
    const std::uint64_t length = checksum.end - checksum.start;
    const std::uint8_t* stored = image + checksum.offset;
    switch (checksum.type) {
      case ChecksumType::Crc32: {
        const std::uint32_t held = static_cast<std::uint32_t>(stored[0]) | stored[1] << 8 |
                                   stored[2] << 16 | static_cast<std::uint32_t>(stored[3]) << 24;
        const std::uint32_t computed = Crc32(covered, length);
        if (held != computed)
          return {std::nullopt, Refusal(name, checksum.line,
                                        "输入映像的 crc32 不符：存有 " + Hex(held) + "，算得 " +
                                            Hex(computed) + "（配置与固件不匹配？）")};
        break;
      }
      case ChecksumType::Xor16:
        checksum.inputXor = Xor16(covered, length);
        break;
      case ChecksumType::Sum16: {
        const std::uint16_t sum = Sum16(covered, length);
        if (sum != checksum.total)
          return {std::nullopt, Refusal(name, checksum.line,
                                        "输入映像的 sum16 为 " + Hex(sum) + "，不是 total " +
                                            Hex(checksum.total) + "（配置与固件不匹配？）")};
        break;
      }
    }
  }
  return {std::move(profile), {}};
}

}  // namespace quillmark
