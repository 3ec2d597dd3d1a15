#include <algorithm>
#include <array>
#include <cstdio>

#include "interface_text.h"
#include "printable_text.h"
#include "stamp_profile.h"

namespace quillmark {
namespace {

std::string Refusal(const std::string& name, std::int64_t line, const std::string& what) {
  // Keys, types and the parser's words come from the file: one line whatever they hold.
  return EscapeControlCharacters(
      Fill({"配置文件错误！%1 第%2行：%3", "Cannot use the stamp profile: %1 line %2: %3"},
           {name, std::to_string(line), what}));
}

std::string Hex(std::uint64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string ChecksumWhat(ChecksumType type) {
  return Fill({"%1 校验和", "the %1 checksum"}, {ChecksumTypeName(type)});
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

[[nodiscard]] std::string CheckPlaces(const std::vector<Place>& places, const std::string& name,
                                      std::uint64_t size, CheckedBytesTest checkedBytes) {
  for (std::size_t i = 0; i < places.size(); ++i) {
    const Place& place = places[i];
    if (place.offset + place.size > size)
      return Refusal(name, place.line,
                     Fill({"%1 超出映像末尾（映像 %2 字节）",
                           "%1 reaches past the end of the image (the image has %2 bytes)"},
                          {place.what, Hex(size)}));
    if (checkedBytes(place.offset, place.size))
      return Refusal(name, place.line,
                     Fill({"%1 覆盖了映像的签名或编译时间字节",
                           "%1 covers the image's signature or build time bytes"},
                          {place.what}));
    for (std::size_t j = 0; j < i; ++j) {
      if (Overlap(place.offset, place.size, places[j].offset, places[j].size))
        return Refusal(name, place.line,
                       Fill({"%1 与第%2行的%3 重叠", "%1 overlaps %3 on line %2"},
                            {place.what, std::to_string(places[j].line), places[j].what}));
    }
  }
  return {};
}

[[nodiscard]] std::string CheckRange(const StampChecksum& checksum, const std::string& name,
                                     std::uint64_t size) {
  const std::string what = ChecksumWhat(checksum.type);
  if (checksum.start >= checksum.end || checksum.end > size)
    return Refusal(name, checksum.line,
                   Fill({"%1 的范围 start..end 应在映像之内且不为空（映像 %2 字节）",
                         "the range start..end of %1 must be inside the image and not empty "
                         "(the image has %2 bytes)"},
                        {what, Hex(size)}));
  const bool inside = checksum.offset < checksum.end && checksum.start < checksum.offset + 4;
  if (checksum.type == ChecksumType::Crc32) {
    if (Overlap(checksum.offset, 4, checksum.start, checksum.end - checksum.start))
      return Refusal(
          name, checksum.line,
          Fill({"%1 存放在它自己覆盖的范围之内", "%1 is stored inside the range it covers"},
               {what}));
    return {};
  }
  if ((checksum.end - checksum.start) % 2 != 0 || (checksum.offset - checksum.start) % 2 != 0 ||
      !inside || checksum.offset < checksum.start || checksum.offset + 2 > checksum.end)
    return Refusal(name, checksum.line,
                   Fill({"%1 应存放在它覆盖的范围之内的一个字上，范围为整字",
                         "%1 must be stored in one word inside the range it covers, and the "
                         "range must be whole words"},
                        {what}));
  return {};
}

bool IsHexDigit(std::uint8_t c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// The bytes as the refusal shows them: printable ASCII as it is, any other
// byte as \xNN.
std::string Shown(const std::uint8_t* bytes, std::uint64_t size) {
  std::string text = "\"";
  for (std::uint64_t i = 0; i < size; ++i) {
    char escaped[8];
    if (bytes[i] >= 0x20 && bytes[i] < 0x7f && bytes[i] != '"' && bytes[i] != '\\')
      text += static_cast<char>(bytes[i]);
    else {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", bytes[i]);
      text += escaped;
    }
  }
  return text + "\"";
}

std::string MacShown(const std::uint8_t* bytes) {
  char text[24];
  std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", bytes[0], bytes[1], bytes[2],
                bytes[3], bytes[4], bytes[5]);
  return text;
}

// Why the input image's bytes at a checked field are not what the field
// expects there; empty when they are.
std::string ExpectedContent(const StampField& field, const std::uint8_t* image) {
  const std::uint8_t* held = image + field.offset;
  if (field.expect == FieldExpect::Any)
    return {};
  if (field.type == FieldType::MacText) {
    bool fits = true;
    for (std::uint64_t i = 0; i < field.Size(); ++i) {
      const bool separatorPlace = !field.separator.empty() && i % 3 == 2;
      fits = fits &&
             (separatorPlace ? held[i] == std::uint8_t(field.separator[0]) : IsHexDigit(held[i]));
    }
    if (fits)
      return {};
    const std::string form = field.separator.empty()
                                 ? std::string(Pick({"12个十六进制数字", "12 hexadecimal digits"}))
                                 : Fill({"6组两位十六进制数字，以 \"%1\" 分隔",
                                         "6 pairs of hexadecimal digits separated by \"%1\""},
                                        {field.separator});
    return Fill({"mac-text 字段处输入映像存有 %1，不是%2（配置与固件不匹配？不检查请写 expect = "
                 "\"any\"）",
                 "the input image holds %1 at the mac-text field, not %2 (does the profile fit "
                 "this firmware? expect = \"any\" waives the check)"},
                {Shown(held, field.Size()), form});
  }
  const bool zeros = std::all_of(held, held + 6, [](std::uint8_t b) { return b == 0x00; });
  const bool ones = std::all_of(held, held + 6, [](std::uint8_t b) { return b == 0xff; });
  const bool unicast = (held[0] & 1) == 0;
  if (zeros || ones || (field.expect == FieldExpect::Form && unicast))
    return {};
  return Fill({"mac 字段处输入映像存有 %1，不是%2（配置与固件不匹配？不检查请写 expect = \"any\"）",
               "the input image holds %1 at the mac field, not %2 (does the profile fit this "
               "firmware? expect = \"any\" waives the check)"},
              {MacShown(held),
               field.expect == FieldExpect::Blank
                   ? std::string(Pick({"全 00 或全 ff 的空白", "blank bytes (all 00 or all ff)"}))
                   : std::string(Pick({"单播地址或全 00、全 ff 的空白",
                                       "a unicast address or blank bytes (all 00 or all ff)"}))});
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
                                     std::int32_t macsPerDevice, CheckedBytesTest checkedBytes) {
  std::vector<Place> places;
  for (StampField& field : profile.fields) {
    const std::string what = Fill({"%1 字段", "the %1 field"}, {FieldTypeName(field.type)});
    if (field.fromEnd) {
      if (field.offset == 0 || field.offset > size)
        return {
            std::nullopt,
            Refusal(name, field.line,
                    Fill({"%1 的 from_end 应在1至%2之间", "from_end of %1 must be from 1 to %2"},
                         {what, Hex(size)}))};
      field.offset = size - field.offset;
      field.fromEnd = false;
    }
    if (field.address > macsPerDevice)
      return {std::nullopt,
              Refusal(name, field.line,
                      Fill({"%1 的 address %2 超过每设备MAC数量 %3",
                            "address %2 of %1 is more than the %3 MAC addresses "
                            "per device"},
                           {what, std::to_string(field.address), std::to_string(macsPerDevice)}))};
    places.push_back({field.offset, field.Size(), field.line, what});
  }
  for (const StampChecksum& checksum : profile.checksums) {
    places.push_back(
        {checksum.offset, checksum.Size(), checksum.line, ChecksumWhat(checksum.type)});
  }
  if (std::string error = CheckPlaces(places, name, size, checkedBytes); !error.empty())
    return {std::nullopt, error};
  for (const StampField& field : profile.fields) {
    if (std::string found = ExpectedContent(field, image); !found.empty())
      return {std::nullopt, Refusal(name, field.line, found)};
  }
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
                        Fill({"它覆盖第%1行的校验和，应排在其后",
                              "it covers the checksum on line %1, so it must come after it"},
                             {std::to_string(later.line)}))};
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
                                        Fill({"输入映像的 crc32 不符：存有 %1，算得 %2"
                                              "（配置与固件不匹配？）",
                                              "the input image's crc32 does not match: it holds "
                                              "%1, computed %2 (does the profile fit this "
                                              "firmware?)"},
                                             {Hex(held), Hex(computed)}))};
        break;
      }
      case ChecksumType::Xor16:
        checksum.inputXor = Xor16(covered, length);
        break;
      case ChecksumType::Sum16: {
        const std::uint16_t sum = Sum16(covered, length);
        if (sum != checksum.total)
          return {std::nullopt, Refusal(name, checksum.line,
                                        Fill({"输入映像的 sum16 为 %1，不是 total %2"
                                              "（配置与固件不匹配？）",
                                              "the input image's sum16 is %1, not total %2 (does "
                                              "the profile fit this firmware?)"},
                                             {Hex(sum), Hex(checksum.total)}))};
        break;
      }
    }
  }
  return {std::move(profile), {}};
}

}  // namespace quillmark
