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

StampLayout::StampLayout(StampProfile checked, const std::uint8_t* image, std::uint64_t imageSize)
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

  std::vector<std::size_t> inputAt;
  for (const ByteRange& range : m_written) {
    inputAt.push_back(m_input.size());
    m_input.insert(m_input.end(), image + range.offset, image + range.offset + range.size);
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    const std::uint8_t* covered = image + checksum.start;
    const std::uint64_t length = checksum.end - checksum.start;
    ChecksumUpdate update;
    switch (checksum.type) {
      case ChecksumType::Crc32:
        update.inputValue = Crc32(covered, length);
        break;
      case ChecksumType::Xor16:
        update.inputValue = Xor16(covered, length);
        break;
      case ChecksumType::Sum16:
        update.inputValue = Sum16(covered, length);
        break;
    }
    for (std::size_t i = 0; i < m_written.size(); ++i) {
      const ByteRange& range = m_written[i];
      const std::uint64_t first = std::max(range.offset, checksum.start);
      const std::uint64_t end = std::min(range.offset + range.size, checksum.end);
      if (first >= end)
        continue;
      const std::uint64_t following = checksum.type == ChecksumType::Crc32 ? checksum.end - end : 0;
      update.segments.push_back(
          {first, end - first, inputAt[i] + (first - range.offset), Crc32ZeroShift(following)});
    }
    m_updates.push_back(std::move(update));
  }
}

std::uint32_t StampLayout::Updated(const StampChecksum& checksum, const ChecksumUpdate& update,
                                   const std::uint8_t* window) const {
  const std::uint64_t length = checksum.end - checksum.start;
  // Words run from the range's start; a last odd byte is in none.
  const std::uint64_t wordBytes = length - length % 2;
  std::uint32_t value = update.inputValue;
  for (const Segment& segment : update.segments) {
    const std::uint8_t* now = window + (segment.offset - m_windowStart);
    const std::uint8_t* was = m_input.data() + segment.inputAt;
    if (checksum.type == ChecksumType::Crc32) {
      std::uint32_t difference = 0;
      for (std::uint64_t i = 0; i < segment.size; ++i) {
        const std::uint8_t changed = now[i] ^ was[i];
        difference = Crc32Register(difference, &changed, 1);
      }
      value ^= segment.following.Apply(difference);
      continue;
    }
    for (std::uint64_t i = 0; i < segment.size; ++i) {
      const std::uint64_t at = segment.offset + i - checksum.start;
      if (at >= wordBytes)
        break;
      const bool high = checksum.type == ChecksumType::Xor16 ? at % 2 == 0 : at % 2 == 1;
      if (checksum.type == ChecksumType::Xor16)
        value ^= static_cast<std::uint32_t>(now[i] ^ was[i]) << (high ? 8 : 0);
      else
        value += (static_cast<std::uint32_t>(now[i]) - was[i]) << (high ? 8 : 0);
    }
  }
  return checksum.type == ChecksumType::Crc32 ? value : value & 0xFFFFu;
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
  for (std::size_t i = 0; i < m_profile.checksums.size(); ++i) {
    const StampChecksum& checksum = m_profile.checksums[i];
    std::uint8_t* const stored = at(checksum.offset);
    switch (checksum.type) {
      case ChecksumType::Crc32: {
        const std::uint32_t crc = Updated(checksum, m_updates[i], window);
        for (int b = 0; b < 4; ++b)
          stored[b] = static_cast<std::uint8_t>(crc >> (8 * b));
        break;
      }
      case ChecksumType::Xor16: {
        stored[0] = stored[1] = 0;
        const auto word =
            static_cast<std::uint16_t>(Updated(checksum, m_updates[i], window) ^ checksum.inputXor);
        stored[0] = static_cast<std::uint8_t>(word >> 8);
        stored[1] = static_cast<std::uint8_t>(word);
        break;
      }
      case ChecksumType::Sum16: {
        stored[0] = stored[1] = 0;
        const auto word =
            static_cast<std::uint16_t>(checksum.total - Updated(checksum, m_updates[i], window));
        stored[0] = static_cast<std::uint8_t>(word);
        stored[1] = static_cast<std::uint8_t>(word >> 8);
        break;
      }
    }
  }
}

std::string StampLayout::PartAt(std::uint64_t offset, InterfaceLanguage language) const {
  for (const StampField& field : m_profile.fields) {
    if (offset >= field.offset && offset < field.offset + field.Size())
      return InterfaceText{"第%1行 %2 字段", "the %2 field on line %1"}.FillIn(
          language, {std::to_string(field.line), FieldTypeName(field.type)});
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    if (offset >= checksum.offset && offset < checksum.offset + checksum.Size())
      return InterfaceText{"第%1行 %2 校验和", "the %2 checksum on line %1"}.FillIn(
          language, {std::to_string(checksum.line), ChecksumTypeName(checksum.type)});
  }
  return {};
}

std::string StampLayout::PartNameAt(std::uint64_t offset) const {
  for (const StampField& field : m_profile.fields) {
    if (offset >= field.offset && offset < field.offset + field.Size())
      return "line " + std::to_string(field.line) + " " + std::string(FieldTypeName(field.type));
  }
  for (const StampChecksum& checksum : m_profile.checksums) {
    if (offset >= checksum.offset && offset < checksum.offset + checksum.Size())
      return "line " + std::to_string(checksum.line) + " " +
             std::string(ChecksumTypeName(checksum.type));
  }
  return {};
}

std::optional<std::array<std::uint8_t, 6>> OctetsInField(const StampField& field,
                                                         const std::uint8_t* bytes) {
  std::array<std::uint8_t, 6> octets{};
  if (field.type == FieldType::Mac) {
    for (std::size_t i = 0; i < 6; ++i)
      octets[i] = bytes[i];
    return octets;
  }
  std::size_t at = 0;
  for (std::size_t i = 0; i < 6; ++i) {
    if (i > 0 && !field.separator.empty() && bytes[at++] != field.separator[0])
      return std::nullopt;
    const int high = HexValue(bytes[at++]);
    const int low = HexValue(bytes[at++]);
    if (high < 0 || low < 0)
      return std::nullopt;
    octets[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  return octets;
}

}  // namespace quillmark
