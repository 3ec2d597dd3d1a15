#include "stamp_layout.h"

#include <algorithm>
#include <cstring>

namespace quillmark {
namespace {

// A whole page, so the copy a writer keeps starts where a file block does.
constexpr std::uint64_t kWindowAlignment = 4096;

void WriteMacText(std::uint8_t* place, const std::uint8_t* octets, const StampField& field) {
  const char* digits = field.uppercase ? "0123456789ABCDEF" : "0123456789abcdef";
  std::size_t at = 0;
  for (int i = 0; i < 6; ++i) {
    if (i > 0 && !field.separator.empty())
      place[at++] = static_cast<std::uint8_t>(field.separator[0]);
    place[at++] = static_cast<std::uint8_t>(digits[octets[i] >> 4]);
    place[at++] = static_cast<std::uint8_t>(digits[octets[i] & 0xF]);
  }
}

int HexValue(std::uint8_t c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

std::vector<ByteRange> Merged(std::vector<ByteRange> ranges) {
  std::sort(ranges.begin(), ranges.end(),
            [](const ByteRange& a, const ByteRange& b) { return a.offset < b.offset; });
  std::vector<ByteRange> merged;
  for (const ByteRange& range : ranges) {
    if (!merged.empty() && range.offset <= merged.back().offset + merged.back().size) {
      ByteRange& last = merged.back();
      last.size = std::max(last.offset + last.size, range.offset + range.size) - last.offset;
    } else {
      merged.push_back(range);
    }
  }
  return merged;
}

}  // namespace

StampLayout::StampLayout(StampProfile checked, std::uint64_t imageSize)
    : m_profile(std::move(checked)), m_imageSize(imageSize) {
  std::vector<ByteRange> written;
  std::uint64_t lowest = imageSize;
  for (const StampField& field : m_profile.fields) {
    written.push_back({field.offset, field.Size()});
    lowest = std::min(lowest, field.offset);
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    written.push_back({checksum.offset, checksum.Size()});
    lowest = std::min({lowest, checksum.offset, checksum.start});
  }
  m_windowStart = lowest / kWindowAlignment * kWindowAlignment;
  m_written = Merged(std::move(written));
}

std::vector<ByteRange> StampLayout::WrittenBlocks(std::uint64_t unit) const {
  std::vector<ByteRange> blocks;
  for (const ByteRange& range : m_written) {
    const std::uint64_t first = range.offset / unit * unit;
    const std::uint64_t end =
        std::min(m_imageSize, (range.offset + range.size + unit - 1) / unit * unit);
    blocks.push_back({first, end - first});
  }
  return Merged(std::move(blocks));
}

void StampLayout::Stamp(std::uint8_t* window, const std::uint8_t* addresses) const {
  const auto at = [&](std::uint64_t offset) { return window + (offset - m_windowStart); };
  for (const StampField& field : m_profile.fields) {
    const std::uint8_t* octets = addresses + 6 * (field.address - 1);
    if (field.type == FieldType::Mac)
      std::memcpy(at(field.offset), octets, 6);
    else
      WriteMacText(at(field.offset), octets, field);
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    std::uint8_t* const stored = at(checksum.offset);
    const std::uint8_t* const covered = at(checksum.start);
    const std::uint64_t length = checksum.end - checksum.start;
    switch (checksum.type) {
      case ChecksumType::Crc32: {
        const std::uint32_t crc = Crc32(covered, length);
        for (int i = 0; i < 4; ++i)
          stored[i] = static_cast<std::uint8_t>(crc >> (8 * i));
        break;
      }
      case ChecksumType::Xor16: {
        stored[0] = stored[1] = 0;
        const std::uint16_t word = Xor16(covered, length) ^ checksum.inputXor;
        stored[0] = static_cast<std::uint8_t>(word >> 8);
        stored[1] = static_cast<std::uint8_t>(word);
        break;
      }
      case ChecksumType::Sum16: {
        stored[0] = stored[1] = 0;
        const std::uint16_t word =
            static_cast<std::uint16_t>(checksum.total - Sum16(covered, length));
        stored[0] = static_cast<std::uint8_t>(word);
        stored[1] = static_cast<std::uint8_t>(word >> 8);
        break;
      }
    }
  }
}

std::string StampLayout::PartAt(std::uint64_t offset) const {
  for (const StampField& field : m_profile.fields) {
    if (offset >= field.offset && offset < field.offset + field.Size())
      return "第" + std::to_string(field.line) + "行 " + FieldTypeName(field.type) + " 字段";
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    if (offset >= checksum.offset && offset < checksum.offset + checksum.Size())
      return "第" + std::to_string(checksum.line) + "行 " + ChecksumTypeName(checksum.type) +
             " 校验和";
  }
  return {};
}

std::optional<MacAddress> AddressInField(const StampField& field, const std::uint8_t* bytes) {
  MacAddress address;
  if (field.type == FieldType::Mac) {
    for (std::size_t i = 0; i < 6; ++i)
      address.octets[i] = bytes[i];
    return address;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0 && !field.separator.empty() && bytes[at++] != field.separator[0])
      return std::nullopt;
    const int high = HexValue(bytes[at++]);
    const int low = HexValue(bytes[at++]);
    if (high < 0 || low < 0)
      return std::nullopt;
    address.octets[i] = high * 16 + low;
  }
  return address;
}

}  // namespace quillmark
