#include "stamp_layout.h"

#include <algorithm>
#include <cstring>

#include "interface_text.h"

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
      return Fill({"第%1行 %2 字段", "the %2 field on line %1"},
                  {std::to_string(field.line), FieldTypeName(field.type)});
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    if (offset >= checksum.offset && offset < checksum.offset + checksum.Size())
      return Fill({"第%1行 %2 校验和", "the %2 checksum on line %1"},
                  {std::to_string(checksum.line), ChecksumTypeName(checksum.type)});
  }
  return {};
}

}  // namespace quillmark
